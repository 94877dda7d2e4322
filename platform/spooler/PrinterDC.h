#pragma once
// Printer device contexts: their device description comes from the
// printer's setup; their pages go to a PDF file that EndDoc sends to the
// printer's queue as one job.

#include "platform/gdi/Surface.h"
#include "platform/spooler/CupsQueues.h"

namespace platform::spooler {

// What GetDeviceCaps reports for a printer in `setup`: the paper and its
// printable area at the printer's resolution, px = hundredths of mm x dpi
// / 2540, rounded. Landscape turns the paper a quarter counter-clockwise
// (as Windows drivers do), so the left offset is the portrait bottom margin.
gdi::DeviceDescription printerDescription(const PrinterSetup& setup);

}  // namespace platform::spooler
