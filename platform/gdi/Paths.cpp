// Paths: recorded in device pixels between BeginPath and EndPath, then
// filled, stroked, widened, flattened or made the clip.

#include "platform/gdi/DcApi.h"
#include "platform/gdi/DcInternal.h"
#include "platform/gdi/DrawTools.h"
#include "platform/gdi/RegionOps.h"
#include "platform/system/LastError.h"

namespace platform {

using namespace platform::gdi;

namespace {

constexpr uint32_t kErrorCanNotComplete = 1003;  // ERROR_CAN_NOT_COMPLETE

// The closed path of the context, or null (with the error GDI gives) when
// none is closed.
QPainterPath* closedPath(DeviceContext& dc) {
  if (dc.state.pathOpen || !dc.state.pathValid) {
    SetLastError(kErrorCanNotComplete);
    return nullptr;
  }
  return &dc.state.path;
}

void discardPath(DcState& s) {
  s.path = QPainterPath();
  s.pathValid = false;
  s.pathOpen = false;
  s.pathNeedsMove = true;
}

Qt::FillRule fillRuleOf(const DcState& s) { return s.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill; }

// Every figure closed, as filling takes them.
QPainterPath closedFigures(const QPainterPath& path) {
  QPainterPath closed;
  for (const QPolygonF& polygon : path.toSubpathPolygons()) {
    if (polygon.size() < 2) continue;
    closed.addPolygon(polygon);
    closed.closeSubpath();
  }
  return closed;
}

}  // namespace

bool BeginPath(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  discardPath(dc->state);
  dc->state.pathOpen = true;
  return true;
}

bool EndPath(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!dc->state.pathOpen) {
    SetLastError(kErrorCanNotComplete);
    return false;
  }
  dc->state.pathOpen = false;
  dc->state.pathValid = true;
  return true;
}

bool CloseFigure(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  DcState& s = dc->state;
  if (!s.pathOpen) {
    SetLastError(kErrorCanNotComplete);
    return false;
  }
  if (!s.pathNeedsMove && s.path.elementCount() > 0) s.path.closeSubpath();
  s.pathNeedsMove = true;
  return true;
}

bool AbortPath(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  discardPath(dc->state);
  return true;
}

bool FlattenPath(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  QPainterPath* path = closedPath(*dc);
  if (!path) return false;
  QPainterPath flat;
  for (const QPolygonF& polygon : path->toSubpathPolygons()) {
    if (polygon.isEmpty()) continue;
    // Closed figures end where they start; keep them closed.
    const bool closed = polygon.size() > 2 && polygon.first() == polygon.last();
    flat.moveTo(polygon.first());
    for (qsizetype i = 1; i < polygon.size() - (closed ? 1 : 0); ++i) flat.lineTo(polygon[i]);
    if (closed) flat.closeSubpath();
  }
  *path = flat;
  return true;
}

bool WidenPath(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  QPainterPath* path = closedPath(*dc);
  if (!path) return false;
  ResolvedPen pen = resolvePen(*dc);
  if (pen.null) {
    SetLastError(kErrorCanNotComplete);
    return false;
  }
  QPainterPath outline = widenedOutline(*dc, *path, pen);
  // The outline is in pixel edges; the path keeps pixel centres.
  outline.translate(-0.5, -0.5);
  *path = outline.simplified();
  return true;
}

namespace {

// Fills the path's figures, each closed, with the context's fill mode.
void fillFigures(DeviceContext& dc, const QPainterPath& path) {
  QPainterPath figures = closedFigures(path);
  figures.setFillRule(fillRuleOf(dc.state));
  fillShape(dc, figures);
}

}  // namespace

bool FillPath(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  QPainterPath* path = closedPath(*dc);
  if (!path) return false;
  fillFigures(*dc, *path);
  discardPath(dc->state);
  return true;
}

bool StrokePath(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  QPainterPath* path = closedPath(*dc);
  if (!path) return false;
  strokeShape(*dc, *path);
  discardPath(dc->state);
  return true;
}

bool StrokeAndFillPath(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  QPainterPath* path = closedPath(*dc);
  if (!path) return false;
  fillFigures(*dc, *path);
  strokeShape(*dc, *path);
  discardPath(dc->state);
  return true;
}

bool SelectClipPath(HDC hdc, int mode) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (mode < RGN_AND || mode > RGN_COPY) return invalidParameter(false);
  QPainterPath* path = closedPath(*dc);
  if (!path) return false;
  QPainterPath figures = closedFigures(*path);
  figures.setFillRule(fillRuleOf(dc->state));
  const QRegion region = regionFromPath(figures);
  discardPath(dc->state);
  return combineClip(*dc, &region, mode) != ERROR;
}

}  // namespace platform
