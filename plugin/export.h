// The one export macro of the plug-in. The library is built with hidden
// visibility; only what carries ZEL_EXPORT is visible to the host, and the
// linker's version script (plugin/zel_exports.map) enforces the same list.
#ifndef PLUGIN_EXPORT_H_
#define PLUGIN_EXPORT_H_

#if defined(__GNUC__) || defined(__clang__)
#define ZEL_EXPORT __attribute__((visibility("default")))
#else
#define ZEL_EXPORT
#endif

/* The exported functions never throw; C++ callers may rely on it. */
#ifdef __cplusplus
#define ZEL_NOEXCEPT noexcept
#else
#define ZEL_NOEXCEPT
#endif

#endif /* PLUGIN_EXPORT_H_ */
