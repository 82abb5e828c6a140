#pragma once

// Symbols of the platform library that its users may link against.
#if defined(KZT_PLATFORM_BUILD)
#define KZT_PLATFORM_API __attribute__((visibility("default")))
#else
#define KZT_PLATFORM_API __attribute__((visibility("default")))
#endif
