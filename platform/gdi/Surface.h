#pragma once
// What a device context draws on. The device context resolves mapping,
// world transform, pens, brushes and clipping; a surface receives
// primitives in device pixels with the clip already resolved, and does
// nothing but put them on its medium. Three kinds exist: a raster surface
// (a QImage: screen, memory bitmaps, export pictures), a PDF surface (the
// pages of a printer job) and a recording surface (tests).

#include <QBrush>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QRegion>
#include <QString>
#include <QTransform>
#include <memory>
#include <vector>

namespace platform::gdi {

// What the device reports through GetDeviceCaps. Sizes in device pixels
// unless named otherwise.
struct DeviceDescription {
  int technology = 1;           // DT_RASDISPLAY or DT_RASPRINTER
  int width = 0, height = 0;    // HORZRES, VERTRES: the printable or visible area
  int widthMm = 0, heightMm = 0;  // HORZSIZE, VERTSIZE
  int dpiX = 96, dpiY = 96;     // LOGPIXELSX, LOGPIXELSY
  int bitsPerPixel = 32;        // BITSPIXEL (PLANES is 1)
  int physicalWidth = 0, physicalHeight = 0;    // 0: the same as width and height
  int physicalOffsetX = 0, physicalOffsetY = 0;
  bool palette = false;         // RC_PALETTE in RASTERCAPS (8 bits per pixel screens)
};

// A clip in device pixels; `region` is meaningful only when `active`.
struct DeviceClip {
  bool active = false;
  QRegion region;
};

// The binary raster operation for pens and brushes (R2_*), and for blits the
// result already composed by the device context where the operation reads
// the destination.
struct Paint {
  QBrush brush;      // colour, hatch or pattern; the brush transform places the pattern in device space
  int rop2 = 13;     // R2_COPYPEN
  // Hatched brushes in OPAQUE background mode fill the gaps with this colour.
  bool opaqueBackground = false;
  QColor background;
};

// One run of text: glyph origins in device pixels (baseline left of each
// glyph), the font at its device pixel size, and the rotation about the
// first origin. Positions are final: surfaces place each glyph at its
// position and turn only the glyph's shape, first by `angleDegrees`, then by
// the linear part of `transform` (its translation is ignored).
struct TextRun {
  QFont font;
  QString text;                       // one QChar group per position
  std::vector<QPointF> positions;     // one per character of `text`
  bool glyphIndices = false;          // `text` holds glyph indices (ETO_GLYPH_INDEX)
  std::vector<uint32_t> glyphs;       // the indices when glyphIndices
  QColor color;
  qreal angleDegrees = 0;             // counter-clockwise, GDI's escapement sense
  QTransform transform;               // applied about the positions (world transforms with shear or scale)
  int rop2 = 13;
};

class Surface {
 public:
  virtual ~Surface() = default;

  virtual const DeviceDescription& description() const = 0;

  // Fills the device-space path (fill rule set on the path). Pixels whose
  // centres lie inside are filled: the rectangle (0,0)-(10,10) fills pixels
  // 0 to 9.
  virtual void fillPath(const QPainterPath& path, const Paint& paint, const DeviceClip& clip) = 0;
  // Fills whole pixels: the region is already in device pixels.
  virtual void fillRegion(const QRegion& region, const Paint& paint, const DeviceClip& clip) = 0;
  // Draws a one-pixel cosmetic line strip (styled pens give their dash
  // pattern in `pen`). A point (x, y) is the pixel (x, y); as in GDI the
  // last point of an open strip is not drawn (surfaces use a flat cap).
  virtual void strokeCosmetic(const QPainterPath& path, const QPen& pen, int rop2, const DeviceClip& clip) = 0;
  // Draws `image` (ARGB32 premultiplied or RGB32) with `imageToDevice`
  // mapping image pixels to device pixels; `smooth` for HALFTONE stretching.
  virtual void drawImage(const QImage& image, const QTransform& imageToDevice, bool smooth,
                         const DeviceClip& clip) = 0;
  virtual void drawText(const TextRun& run, const DeviceClip& clip) = 0;

  // The current device pixels of `rect` (clipped to the surface), for
  // operations that read the destination. Surfaces that cannot read back
  // (a PDF page) give what the page shows so far as best they can.
  virtual QImage readPixels(const QRect& rect) const = 0;
  // Writes pixels back, exactly, at `topLeft` (raster operations' results).
  virtual void writePixels(const QImage& pixels, const QPoint& topLeft, const DeviceClip& clip) = 0;

  // Page boundaries for surfaces with pages; no-ops elsewhere.
  virtual bool startPage() { return true; }
  virtual bool endPage() { return true; }
  virtual bool finish() { return true; }
};

}  // namespace platform::gdi
