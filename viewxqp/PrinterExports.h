#pragma once
// Printer device contexts, printer settings, reprinting and job control:
// the logic behind the printer exports, callable within the library.

#include <cstdint>

#include "platform/gdi/GdiTypes.h"

namespace viewxqp {

int32_t setNewDC(HDC hdc, int32_t sourceDpi, int32_t skipPlacement, int32_t doPlacement, int32_t rotation,
                 int32_t rotateExtent, int32_t setScale);
int32_t setOldDC(HDC hdc);
int32_t setPrinterInfo(const char* printerName, int32_t orientation, int32_t paperSize, int32_t copies);
int32_t rePrintEMF(const char* printerName, const char* fileName);
int32_t setPrintJobInfo(const char* printerName, int32_t jobId, const char* userName);
// JOB_CONTROL_PAUSE or JOB_CONTROL_RESUME for the job.
int32_t controlPrintJob(const char* printerName, int32_t jobId, uint32_t command);

// The viewport shift of a quarter-turned page: rotateExtent source units
// in device pixels, truncated toward zero (0 when the extents are unusable).
int32_t rotatedShift(int32_t rotateExtent, int32_t windowExtent, int32_t viewportExtent);

}  // namespace viewxqp
