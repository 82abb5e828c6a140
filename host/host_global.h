#pragma once

// Symbols of the host's shared library (and its companion package) that the module links.
#define HOST_API __attribute__((visibility("default")))
