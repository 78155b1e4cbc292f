// SPDX-License-Identifier: MIT
// Export macros of the vexplc libraries. Symbols are hidden by default; every public class
// carries the macro of the library it lives in.
#ifndef VEXGLOBAL_H
#define VEXGLOBAL_H

#if defined(_WIN32) || defined(__CYGWIN__)
#define VEX_DECL_EXPORT __declspec(dllexport)
#define VEX_DECL_IMPORT __declspec(dllimport)
#else
#define VEX_DECL_EXPORT __attribute__((visibility("default")))
#define VEX_DECL_IMPORT __attribute__((visibility("default")))
#endif

#ifdef VEX_KERNEL_LIBRARY
#define VEX_KERNEL_EXPORT VEX_DECL_EXPORT
#else
#define VEX_KERNEL_EXPORT VEX_DECL_IMPORT
#endif

#ifdef VEX_NETWORK_LIBRARY
#define VEX_NETWORK_EXPORT VEX_DECL_EXPORT
#else
#define VEX_NETWORK_EXPORT VEX_DECL_IMPORT
#endif

#ifdef VEX_PROTOCOL_LIBRARY
#define VEX_PROTOCOL_EXPORT VEX_DECL_EXPORT
#else
#define VEX_PROTOCOL_EXPORT VEX_DECL_IMPORT
#endif

#ifdef VEX_DATASTORAGE_LIBRARY
#define VEX_DATASTORAGE_EXPORT VEX_DECL_EXPORT
#else
#define VEX_DATASTORAGE_EXPORT VEX_DECL_IMPORT
#endif

#ifdef VEX_CONTROLDATA_LIBRARY
#define VEX_CONTROLDATA_EXPORT VEX_DECL_EXPORT
#else
#define VEX_CONTROLDATA_EXPORT VEX_DECL_IMPORT
#endif

#ifdef VEX_PLCCOMMON_LIBRARY
#define VEX_PLCCOMMON_EXPORT VEX_DECL_EXPORT
#else
#define VEX_PLCCOMMON_EXPORT VEX_DECL_IMPORT
#endif

#endif // VEXGLOBAL_H
