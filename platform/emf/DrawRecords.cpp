// Lines, polygons and Béziers (32- and 16-bit points), shapes and arcs,
// paths, regions and gradients. Point and polygon counts are checked
// against the record before the points are read.

#include <cstring>
#include <numeric>

#include "platform/emf/EmfRecordTypes.h"
#include "platform/emf/Playback.h"
#include "platform/gdi/Gdi.h"

namespace platform::emf {

namespace {

bool sixteenBit(uint32_t type) { return type >= EMR_POLYBEZIER16 && type <= EMR_POLYDRAW16; }

// `count` points at `offset`, widened from POINTS in the 16-bit records.
bool readPoints(const RecordReader& r, uint64_t offset, uint64_t count, bool small, std::vector<POINT>& out) {
  if (!small) return r.array(offset, count, out);
  std::vector<POINTS> points;
  if (!r.array(offset, count, points)) return false;
  out.resize(points.size());
  for (size_t i = 0; i < points.size(); ++i) out[i] = {points[i].x, points[i].y};
  return true;
}

constexpr uint64_t kRgnDataHeader = 32;

}  // namespace

Outcome Playback::polyRecord(const RecordReader& r) {
  const uint32_t type = r.type();
  const bool small = sixteenBit(type);
  const auto count = r.get<uint32_t>(24);
  std::vector<POINT> points;
  if (!count || !readPoints(r, 28, *count, small, points)) return Outcome::Malformed;
  const auto n = static_cast<uint32_t>(points.size());
  switch (type) {
    case EMR_POLYBEZIER:
    case EMR_POLYBEZIER16:
      PolyBezier(hdc_, points.data(), n);
      break;
    case EMR_POLYGON:
    case EMR_POLYGON16:
      Polygon(hdc_, points.data(), static_cast<int>(n));
      break;
    case EMR_POLYLINE:
    case EMR_POLYLINE16:
      Polyline(hdc_, points.data(), static_cast<int>(n));
      break;
    case EMR_POLYBEZIERTO:
    case EMR_POLYBEZIERTO16:
      PolyBezierTo(hdc_, points.data(), n);
      break;
    case EMR_POLYLINETO:
    case EMR_POLYLINETO16:
      PolylineTo(hdc_, points.data(), static_cast<int>(n));
      break;
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16: {
      std::vector<uint8_t> kinds;
      const uint64_t kindsAt = 28 + uint64_t{n} * (small ? sizeof(POINTS) : sizeof(POINT));
      if (!r.array(kindsAt, n, kinds)) return Outcome::Malformed;
      PolyDraw(hdc_, points.data(), kinds.data(), static_cast<int>(n));
      break;
    }
    default:
      return Outcome::Ignored;
  }
  return Outcome::Played;
}

Outcome Playback::polyPolyRecord(const RecordReader& r) {
  const uint32_t type = r.type();
  const bool small = type == EMR_POLYPOLYLINE16 || type == EMR_POLYPOLYGON16;
  const auto polygons = r.get<uint32_t>(24);
  const auto total = r.get<uint32_t>(28);
  std::vector<uint32_t> counts;
  if (!polygons || !total || !r.array(32, *polygons, counts)) return Outcome::Malformed;
  // The counts must add up to no more than the points the record holds.
  const uint64_t sum = std::accumulate(counts.begin(), counts.end(), uint64_t{0});
  if (sum > *total) return Outcome::Malformed;
  std::vector<POINT> points;
  if (!readPoints(r, 32 + uint64_t{*polygons} * 4, *total, small, points)) return Outcome::Malformed;
  if (counts.empty()) return Outcome::Played;
  if (type == EMR_POLYPOLYLINE || type == EMR_POLYPOLYLINE16) {
    PolyPolyline(hdc_, points.data(), counts.data(), static_cast<uint32_t>(counts.size()));
  } else {
    const std::vector<int> intCounts(counts.begin(), counts.end());  // each <= total < 2^30
    PolyPolygon(hdc_, points.data(), intCounts.data(), static_cast<int>(intCounts.size()));
  }
  return Outcome::Played;
}

Outcome Playback::shapeRecord(const RecordReader& r) {
  const uint32_t type = r.type();
  switch (type) {
    case EMR_MOVETOEX:
    case EMR_LINETO: {
      const auto p = r.get<POINT>(8);
      if (!p) return Outcome::Malformed;
      if (type == EMR_MOVETOEX)
        MoveToEx(hdc_, p->x, p->y, nullptr);
      else
        LineTo(hdc_, p->x, p->y);
      return Outcome::Played;
    }
    case EMR_SETPIXELV: {
      const auto p = r.get<POINT>(8);
      const auto color = r.get<uint32_t>(16);
      if (!p || !color) return Outcome::Malformed;
      SetPixel(hdc_, p->x, p->y, *color & 0x00FFFFFF);
      return Outcome::Played;
    }
    case EMR_ANGLEARC: {
      const auto center = r.get<POINT>(8);
      const auto radius = r.get<uint32_t>(16);
      const auto start = r.get<float>(20);
      const auto sweep = r.get<float>(24);
      if (!center || !radius || !start || !sweep) return Outcome::Malformed;
      AngleArc(hdc_, center->x, center->y, *radius, *start, *sweep);
      return Outcome::Played;
    }
    default:
      break;
  }
  const auto box = r.get<RECT>(8);
  if (!box) return Outcome::Malformed;
  const RECT& b = *box;
  switch (type) {
    case EMR_ELLIPSE:
      Ellipse(hdc_, b.left, b.top, b.right, b.bottom);
      return Outcome::Played;
    case EMR_RECTANGLE:
      Rectangle(hdc_, b.left, b.top, b.right, b.bottom);
      return Outcome::Played;
    case EMR_ROUNDRECT: {
      const auto corner = r.get<SIZE>(24);
      if (!corner) return Outcome::Malformed;
      RoundRect(hdc_, b.left, b.top, b.right, b.bottom, corner->cx, corner->cy);
      return Outcome::Played;
    }
    default:
      break;
  }
  const auto start = r.get<POINT>(24);
  const auto end = r.get<POINT>(32);
  if (!start || !end) return Outcome::Malformed;
  switch (type) {
    case EMR_ARC:
      Arc(hdc_, b.left, b.top, b.right, b.bottom, start->x, start->y, end->x, end->y);
      break;
    case EMR_ARCTO:
      ArcTo(hdc_, b.left, b.top, b.right, b.bottom, start->x, start->y, end->x, end->y);
      break;
    case EMR_CHORD:
      Chord(hdc_, b.left, b.top, b.right, b.bottom, start->x, start->y, end->x, end->y);
      break;
    case EMR_PIE:
      Pie(hdc_, b.left, b.top, b.right, b.bottom, start->x, start->y, end->x, end->y);
      break;
    default:
      return Outcome::Ignored;
  }
  return Outcome::Played;
}

Outcome Playback::pathRecord(const RecordReader& r) {
  switch (r.type()) {
    case EMR_BEGINPATH:
      BeginPath(hdc_);
      break;
    case EMR_ENDPATH:
      EndPath(hdc_);
      break;
    case EMR_CLOSEFIGURE:
      CloseFigure(hdc_);
      break;
    case EMR_FILLPATH:
      FillPath(hdc_);
      break;
    case EMR_STROKEANDFILLPATH:
      StrokeAndFillPath(hdc_);
      break;
    case EMR_STROKEPATH:
      StrokePath(hdc_);
      break;
    case EMR_FLATTENPATH:
      FlattenPath(hdc_);
      break;
    case EMR_WIDENPATH:
      WidenPath(hdc_);
      break;
    case EMR_ABORTPATH:
      AbortPath(hdc_);
      break;
    default:
      return Outcome::Ignored;
  }
  return Outcome::Played;
}

HRGN Playback::regionFromRecord(const RecordReader& r, uint64_t offset, uint64_t size) const {
  // RGNDATAHEADER: dwSize, iType, nCount, nRgnSize, rcBound; then nCount rectangles.
  if (size < kRgnDataHeader || !r.fits(offset, size)) return nullptr;
  const auto headerSize = r.get<uint32_t>(offset);
  const auto rects = r.get<uint32_t>(offset + 8);
  if (!headerSize || !rects || *headerSize < kRgnDataHeader || *headerSize > size) return nullptr;
  if (*rects > (size - *headerSize) / 16) return nullptr;
  // A copy, aligned for the region code's reads.
  std::vector<uint32_t> data(static_cast<size_t>((size + 3) / 4));
  std::memcpy(data.data(), r.bytes(offset, size), static_cast<size_t>(size));
  const XFORM toDevice = toXform(base_);
  return ExtCreateRegion(&toDevice, static_cast<uint32_t>(size), data.data());
}

Outcome Playback::regionRecord(const RecordReader& r) {
  const uint32_t type = r.type();
  const auto size = r.get<uint32_t>(24);
  if (!size) return Outcome::Malformed;
  HGDIOBJ brush = nullptr;
  if (type == EMR_FILLRGN || type == EMR_FRAMERGN) {
    const auto index = r.get<uint32_t>(28);
    if (!index || (brush = objectAt(*index)) == nullptr) return Outcome::Malformed;
  }
  const uint64_t dataAt = type == EMR_FILLRGN ? 32 : type == EMR_FRAMERGN ? 40 : 28;
  std::optional<SIZE> stroke;
  if (type == EMR_FRAMERGN && !(stroke = r.get<SIZE>(32))) return Outcome::Malformed;
  HRGN region = regionFromRecord(r, dataAt, *size);
  if (region == nullptr) return Outcome::Malformed;
  // The region is in device pixels already: draw it with no transform of its own.
  switch (type) {
    case EMR_FILLRGN:
      FillRgn(hdc_, region, brush);
      break;
    case EMR_FRAMERGN:
      FrameRgn(hdc_, region, brush, stroke->cx, stroke->cy);
      break;
    case EMR_INVERTRGN:
      InvertRgn(hdc_, region);
      break;
    default:
      PaintRgn(hdc_, region);
      break;
  }
  DeleteObject(region);
  return Outcome::Played;
}

Outcome Playback::gradientRecord(const RecordReader& r) {
  const auto vertexCount = r.get<uint32_t>(24);
  const auto meshCount = r.get<uint32_t>(28);
  const auto mode = r.get<uint32_t>(32);
  if (!vertexCount || !meshCount || !mode) return Outcome::Malformed;
  std::vector<TRIVERTEX> vertices;
  if (!r.array(36, *vertexCount, vertices)) return Outcome::Malformed;
  const uint64_t meshAt = 36 + uint64_t{*vertexCount} * sizeof(TRIVERTEX);
  const uint64_t perMesh = *mode == GRADIENT_FILL_TRIANGLE ? 3 : 2;
  if (*mode > GRADIENT_FILL_TRIANGLE) return Outcome::Malformed;
  std::vector<uint32_t> mesh;
  if (!r.array(meshAt, uint64_t{*meshCount} * perMesh, mesh)) return Outcome::Malformed;
  for (const uint32_t vertex : mesh)
    if (vertex >= *vertexCount) return Outcome::Malformed;
  if (vertices.empty() || mesh.empty()) return Outcome::Played;
  GradientFill(hdc_, vertices.data(), *vertexCount, mesh.data(), *meshCount, *mode);
  return Outcome::Played;
}

}  // namespace platform::emf
