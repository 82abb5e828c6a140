#pragma once

// KZT_HOST_API marks what the host's library (and its companion package) exports to the
// module: default visibility both where it is built and where it is used, as ELF needs for
// calls and exception types to cross the library, and nothing with KZT_HOST_STATIC, when its
// sources are compiled into another target.
#if defined(KZT_HOST_STATIC)
#define KZT_HOST_API
#else
#define KZT_HOST_API __attribute__((visibility("default")))
#endif
