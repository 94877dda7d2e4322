#pragma once
// Region arithmetic shared by the region calls, clipping and paths.

#include <QPainterPath>
#include <QRegion>
#include <QTransform>

#include "platform/gdi/DeviceContext.h"

namespace platform::gdi {

// NULLREGION, SIMPLEREGION or COMPLEXREGION.
int regionKind(const QRegion& region);
// A rectangle given by its edges in any order; coordinates are clamped so
// that no size overflows.
QRect rectFromEdges(int64_t left, int64_t top, int64_t right, int64_t bottom);
// The pixels whose centres lie inside the closed figures of `path` (read as
// pixel edges), with its fill rule.
QRegion regionFromPath(const QPainterPath& path);
// A region through a transform: exact for scales and translations, by the
// rectangles' outlines otherwise.
QRegion mapRegion(const QRegion& region, const QTransform& transform);
// A logical rectangle of the context as device pixels.
QRegion logicalRectRegion(const DeviceContext& dc, int left, int top, int right, int bottom);
// The device area of the context: the region a missing clip stands for.
QRect deviceBounds(const DeviceContext& dc);
// Combines `region` (device pixels) into the context's clip, as
// ExtSelectClipRgn does; returns the new clip's kind, or ERROR.
int combineClip(DeviceContext& dc, const QRegion* region, int mode);

}  // namespace platform::gdi
