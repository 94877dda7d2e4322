#pragma once
// The surfaces a device context can draw on.

#include <memory>
#include <string>

#include "platform/gdi/Surface.h"

namespace platform::gdi {

// Draws into `image` (Format_RGB32 or ARGB32_Premultiplied), which the
// caller keeps and may read at any time between calls. Lines are never
// smoothed; text is smoothed only when `smoothText`.
std::shared_ptr<Surface> makeRasterSurface(std::shared_ptr<QImage> image, const DeviceDescription& description,
                                           bool smoothText = false);

// Pages of a PDF file at `path`, each `paperWidthMm` x `paperHeightMm`, at the
// description's resolution (its width and height are the printable area,
// its physical offsets place that area on the paper). Images are stored
// losslessly; raster operations that read the destination are composed
// through a raster layer. The file is complete after finish().
std::shared_ptr<Surface> makePdfSurface(const std::string& path, const DeviceDescription& description,
                                        double paperWidthMm, double paperHeightMm);

}  // namespace platform::gdi
