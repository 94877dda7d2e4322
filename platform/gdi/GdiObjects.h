#pragma once
// Graphics objects: immutable once made, validated when made, kept in one
// process-wide table behind their handles. A device context holds shared
// pointers to the objects it has selected, so deleting a selected object
// (which GDI allows and ignores until it is deselected) never leaves a
// dangling reference.

#include <QFont>
#include <QImage>
#include <QRegion>
#include <memory>
#include <variant>
#include <vector>

#include "platform/gdi/GdiTypes.h"

namespace platform::gdi {

struct PenObject {
  uint32_t style = PS_SOLID;     // whole style word: type, style, end cap, join
  int32_t width = 0;             // logical units; 0 and cosmetic pens draw one pixel
  COLORREF color = 0;
  std::vector<uint32_t> userStyle;  // PS_USERSTYLE dash lengths
  bool extended = false;         // made by ExtCreatePen (OBJ_EXTPEN)
  // Geometric pens may carry a brush; solid colour is the common case.
  uint32_t brushStyle = BS_SOLID;
  uint32_t brushHatch = 0;
};

struct BrushObject {
  uint32_t style = BS_SOLID;     // BS_SOLID, BS_NULL, BS_HATCHED, BS_DIBPATTERNPT (patterns)
  COLORREF color = 0;
  uint32_t hatch = 0;
  // Pattern brushes: the pattern's pixels; monochrome patterns keep their
  // two-colour form so that they take the text and background colours.
  QImage pattern;
  bool monochrome = false;
};

struct FontObject {
  LOGFONTW logfont{};
};

struct PaletteObject {
  std::vector<PALETTEENTRY> entries;
};

struct RegionObject {
  QRegion region;  // device pixels (regions are in device units)
};

// A bitmap: its pixels, and the depth it was made with (what GetDIBits and
// GetObject report). The pixels are shared with the surface of the memory
// context the bitmap is selected into, so drawing there changes them.
struct BitmapObject {
  std::shared_ptr<QImage> image;  // Format_RGB32 (monochrome bitmaps keep only black and white)
  int bitsPerPixel = 32;
};

using GdiObject = std::variant<PenObject, BrushObject, FontObject, PaletteObject, RegionObject, BitmapObject>;

// The object table. Handles encode a slot and a generation, so a stale
// handle is refused rather than taken for the slot's next object.
HGDIOBJ addObject(GdiObject object);
// The object behind a live handle (stock objects included), or null.
std::shared_ptr<GdiObject> objectFromHandle(HGDIOBJ handle);
bool removeObject(HGDIOBJ handle);
bool isStockObject(HGDIOBJ handle);
// Puts a new value behind a live handle (palettes change in place); contexts
// that selected the old value keep it. false for dead and stock handles.
bool replaceObject(HGDIOBJ handle, GdiObject object);
// The 1 x 1 monochrome bitmap a new memory context starts with (a stock
// object: never deleted).
HBITMAP defaultBitmap();
// The stock object of a GetStockObject index, or null.
HGDIOBJ stockObject(int index);
// Whether `handle` is a device context's handle (they share GetObjectType).
bool isDcHandle(const void* handle);

template <typename T>
std::shared_ptr<const T> objectAs(HGDIOBJ handle) {
  auto object = objectFromHandle(handle);
  if (!object || !std::holds_alternative<T>(*object)) return nullptr;
  return std::shared_ptr<const T>(object, &std::get<T>(*object));
}

}  // namespace platform::gdi
