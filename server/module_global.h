#pragma once

// KZT_MODULE_API marks the module's exports (package/exports.map has the final say on what
// libkzt00318 exports): default visibility both where it is built and where a host uses it,
// and nothing with KZT_MODULE_STATIC, when its sources are compiled into another target.
#if defined(KZT_MODULE_STATIC)
#define KZT_MODULE_API
#else
#define KZT_MODULE_API __attribute__((visibility("default")))
#endif
