#pragma once
// ViewXQP, the page file library: reads page files, builds them from EMF
// spool files, and (as it grows) renders, converts and prints their pages.
//
// A flat C interface. Every argument and result is a 32-bit integer, an
// opaque handle or a NUL-terminated ANSI string in the active code page.
// Results are 1 or 0, a count or a handle, with 0 or null for failure; no
// call throws, and none keeps state between calls. Page numbers start at 1:
// 0 means page 1, a number above the count (or negative) the last page.

#include <stdint.h>

#include "platform/emf/EmfTypes.h"

#if defined(VIEWXQP_BUILDING)
#define VIEWXQP_API __attribute__((visibility("default")))
#else
#define VIEWXQP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Page file reading

// The number of pages; 0 when the file cannot be read or is no page file.
VIEWXQP_API int32_t GetXQPFilePageNo(const char* fileName);

// A new metafile of the page, or null. The caller owns it and deletes it
// with DeleteEnhMetaFile.
VIEWXQP_API HENHMETAFILE GetXQPEMFHandle(const char* fileName, int32_t pageNo);

// A newly allocated copy of the document name, or NULL when the file cannot
// be read. The caller owns it and releases it with free().
VIEWXQP_API char* GetXQPDocName(const char* fileName);

// The trailer's paper size (a DEVMODE dmPaperSize code); 0 on failure.
VIEWXQP_API int32_t GetPaperSize(const char* fileName);

// The trailer's orientation (1 portrait, 2 landscape); 0 on failure.
VIEWXQP_API int32_t GetOrientation(const char* fileName);

// Spool conversion

// Converts an EMF spool file into a page file beside it, named after it
// with the extension ".qzm". Note the order: orientation, then paper size.
// 1 when the page file has been written completely, 0 otherwise.
VIEWXQP_API int32_t BuildXQPFile(const char* spoolFileName, const char* docName, int32_t orientation,
                                 int32_t paperSize);

#ifdef __cplusplus
}
#endif
