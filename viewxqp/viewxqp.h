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
#include "platform/gdi/GdiTypes.h"

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

// Drawing and geometry. Rectangles and positions are logical units of the
// caller's device context; page sizes are pixels of the recording device.

// Plays the whole page into the rectangle. 1 in every case.
VIEWXQP_API int32_t ViewXQP(HDC hdc, const char* fileName, int32_t pageNo, int32_t left, int32_t top,
                            int32_t right, int32_t bottom, int32_t reserved1, int32_t reserved2, int32_t reserved3,
                            int32_t reserved4);

// Plays the page into the rectangle, leaving out bitmap records when
// drawImages is 0. 0 when the page cannot be loaded.
VIEWXQP_API int32_t NewViewXQP(HDC hdc, const char* fileName, int32_t pageNo, int32_t left, int32_t top,
                               int32_t right, int32_t bottom, int32_t drawImages);

// Plays the page at one logical unit per recording pixel with its top-left
// corner at (x, y). 0 when the page cannot be loaded.
VIEWXQP_API int32_t ViewFullXQPImage(HDC hdc, const char* fileName, int32_t pageNo, int32_t x, int32_t y);

// 1 when the page fits the printable area at its recorded scale; the
// context is then mapped from recording pixels to device pixels. 0 (with
// extents (1, 1)) when it does not fit.
VIEWXQP_API int32_t GetISFullPrint(HDC hdc, const char* fileName, int32_t pageNo);

// Page 1's recording resolution (dots per inch, truncated), width and
// height; 0 when page 1 cannot be loaded.
VIEWXQP_API int32_t GetXQPPixels(const char* fileName);
VIEWXQP_API int32_t GetXQPImageWidth(const char* fileName);
VIEWXQP_API int32_t GetXQPImageHeight(const char* fileName);

// Conversions. Output names are built from outFileName: base_N.ext per page
// for bitmaps, base_N.emf per page for metafiles, base.txt for the text.

// 1 when every page was converted, 0 after a failure (with a notice).
VIEWXQP_API int32_t ConvertXQPToBMP(const char* fileName, const char* outFileName, int32_t reserved);
// 1 in every case; pages that cannot be loaded get no file.
VIEWXQP_API int32_t ConvertXQPToEMF(const char* fileName, const char* outFileName);
// 1 when the text file was written, 0 after a failure.
VIEWXQP_API int32_t ConvertXQPToTxt(const char* fileName, const char* outFileName);

// Printer device contexts, reprinting and job control

// Sets the source-to-device mapping and places (or turns) the page on the
// printable area. 1 in every case.
VIEWXQP_API int32_t SetNewDC(HDC hdc, int32_t sourceDpi, int32_t skipPlacement, int32_t doPlacement,
                             int32_t rotation, int32_t reserved, int32_t rotateExtent, int32_t setScale);
// Resets the world transform; 1 when the context accepted it.
VIEWXQP_API int32_t SetOldDC(HDC hdc);
// The printable width and height in device pixels.
VIEWXQP_API int32_t GetDCWidth(HDC hdc);
VIEWXQP_API int32_t GetDCHeight(HDC hdc);
// Stores orientation, paper size and copies as the printer's defaults.
VIEWXQP_API int32_t SetPrinterInfo(const char* printerName, int32_t orientation, int32_t paperSize, int32_t copies);
// Prints every page of the page file at its recorded scale.
VIEWXQP_API int32_t RePrintEMF(const char* printerName, const char* fileName);
VIEWXQP_API int32_t SetPrintJOBInfo(const char* printerName, int32_t jobId, const char* userName, int32_t reserved);
VIEWXQP_API int32_t SetPrintJobPause(const char* printerName, int32_t jobId);
VIEWXQP_API int32_t SetPrintJobResume(const char* printerName, int32_t jobId);

// The account name of the user at the desktop, or ""; the string stays
// valid after the call (copy it, never free it).
VIEWXQP_API const char* GetCurrentUserName(void);

#ifdef __cplusplus
}
#endif
