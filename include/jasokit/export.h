#pragma once
// JASOKIT_API marks what libjasokit.so exports; everything else is hidden.
// Callers linking the static library get JASOKIT_STATIC from its CMake
// target or pkg-config file.
#if defined(_WIN32) && !defined(JASOKIT_STATIC)
#if defined(JASOKIT_BUILDING_LIBRARY)
#define JASOKIT_API __declspec(dllexport)
#else
#define JASOKIT_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define JASOKIT_API __attribute__((visibility("default")))
#else
#define JASOKIT_API
#endif
