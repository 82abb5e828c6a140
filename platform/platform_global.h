#pragma once

// KZT_PLATFORM_API marks libkztplatform's exports: default visibility both where it is built
// and where it is used, as ELF needs for calls and exception types to cross the library, and
// nothing with KZT_PLATFORM_STATIC, when its sources are compiled into another target.
#if defined(KZT_PLATFORM_STATIC)
#define KZT_PLATFORM_API
#else
#define KZT_PLATFORM_API __attribute__((visibility("default")))
#endif
