#pragma once
// Prninst, the printer installer: registers the virtual printer's driver and
// port with the spooler, adds printers of its driver and removes them.
//
// A flat C interface: ANSI strings in, 1 for success and 0 for failure out.
// No call throws and none keeps state between calls.

#include <stdint.h>

#if defined(PRNINST_BUILDING)
#define PRNINST_API __attribute__((visibility("default")))
#else
#define PRNINST_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Adds the printer `printerName` with the driver `driverName` on the port
// "Kavero Port" (portName is not used), printing a job only once it has been
// spooled whole. 0 when the spooler refuses it (the name is taken, the
// driver is missing, ...); nothing is shown.
PRNINST_API int32_t AddNewPrinter(const char* printerName, const char* portName, const char* driverName);

// Registers the driver "Folisto_Brelvane Driver" anew (its files must lie in
// the spooler's driver folder) and adds the standard printer "Folisto
// Brelvane", replacing an earlier one. 1 when the driver was registered,
// whatever the later steps do; 0 when the spooler refused it.
PRNINST_API int32_t AddNewPrinterDriver(void);

// Deletes every printer whose driver is "Folisto_Brelvane Driver" (compared
// with case); a printer that cannot be deleted gets the box "DELETE FAIL" and
// the walk goes on. 1 after the walk, 0 when the printers cannot be listed.
PRNINST_API int32_t DeleteALLPrinter(void);

#ifdef __cplusplus
}
#endif
