// The handle table: records that create, select and delete pens, brushes,
// fonts and palettes. Slot indices are checked against the table before
// use; stock objects are named with the high bit set.

#include <algorithm>
#include <cstring>

#include "platform/emf/EmfRecordTypes.h"
#include "platform/emf/Playback.h"
#include "platform/gdi/Gdi.h"

namespace platform::emf {

namespace {

constexpr uint32_t kLastStockObject = DC_PEN;

}  // namespace

HGDIOBJ Playback::objectAt(uint32_t index) const {
  if (index & kStockObjectFlag) {
    const uint32_t stock = index & ~kStockObjectFlag;
    return stock <= kLastStockObject ? GetStockObject(static_cast<int>(stock)) : nullptr;
  }
  return validSlot(index) ? objects_[index] : nullptr;
}

void Playback::storeObject(uint32_t index, HGDIOBJ object) {
  // A slot named twice without a delete in between: the first object goes.
  if (objects_[index] != nullptr) DeleteObject(objects_[index]);
  objects_[index] = object;
}

Outcome Playback::objectRecord(const RecordReader& r) {
  const auto index = r.get<uint32_t>(8);
  if (r.type() == EMR_REALIZEPALETTE) {
    RealizePalette(hdc_);
    return Outcome::Played;
  }
  if (!index) return Outcome::Malformed;

  switch (r.type()) {
    case EMR_SELECTOBJECT: {
      HGDIOBJ object = objectAt(*index);
      if (object == nullptr) return Outcome::Malformed;
      SelectObject(hdc_, object);
      return Outcome::Played;
    }
    case EMR_SELECTPALETTE: {
      HGDIOBJ palette = objectAt(*index);
      if (palette == nullptr) return Outcome::Malformed;
      SelectPalette(hdc_, palette, true);
      return Outcome::Played;
    }
    case EMR_DELETEOBJECT: {
      if (!validSlot(*index) || objects_[*index] == nullptr) return Outcome::Malformed;
      DeleteObject(objects_[*index]);
      objects_[*index] = nullptr;
      return Outcome::Played;
    }
    default:
      break;
  }

  // The rest create an object in a slot of the table.
  if (!validSlot(*index)) return Outcome::Malformed;
  HGDIOBJ object = nullptr;
  switch (r.type()) {
    case EMR_CREATEPEN: {
      const auto style = r.get<uint32_t>(12);
      const auto width = r.get<int32_t>(16);
      const auto color = r.get<uint32_t>(24);
      if (!style || !width || !color) return Outcome::Malformed;
      const LOGPEN pen{*style, {*width, 0}, *color & 0x00FFFFFF};
      object = CreatePenIndirect(&pen);
      if (object == nullptr) object = CreatePen(PS_SOLID, 0, pen.lopnColor);
      break;
    }
    case EMR_EXTCREATEPEN: {
      // ihPen, offBmi, cbBmi, offBits, cbBits, then the LOGPEN32 fields.
      const auto style = r.get<uint32_t>(28);
      const auto width = r.get<uint32_t>(32);
      const auto brushStyle = r.get<uint32_t>(36);
      const auto color = r.get<uint32_t>(40);
      const auto hatch = r.get<uint32_t>(44);
      const auto count = r.get<uint32_t>(48);
      if (!style || !width || !brushStyle || !color || !hatch || !count) return Outcome::Malformed;
      std::vector<uint32_t> dashes;
      const bool userStyle = (*style & PS_STYLE_MASK) == PS_USERSTYLE;
      if (userStyle && !r.array(52, *count, dashes)) return Outcome::Malformed;
      // Pattern brushes of pens draw in their colour here.
      uint32_t kind = *brushStyle;
      if (kind != BS_SOLID && kind != BS_NULL && kind != BS_HATCHED) kind = BS_SOLID;
      const LOGBRUSH brush{kind, *color & 0x00FFFFFF, *hatch};
      object = ExtCreatePen(*style, *width, &brush, userStyle ? static_cast<uint32_t>(dashes.size()) : 0,
                            userStyle && !dashes.empty() ? dashes.data() : nullptr);
      if (object == nullptr) object = CreatePen(PS_SOLID, 0, brush.lbColor);
      break;
    }
    case EMR_CREATEBRUSHINDIRECT: {
      const auto style = r.get<uint32_t>(12);
      const auto color = r.get<uint32_t>(16);
      const auto hatch = r.get<uint32_t>(20);
      if (!style || !color || !hatch) return Outcome::Malformed;
      const LOGBRUSH brush{*style, *color & 0x00FFFFFF, *hatch};
      object = CreateBrushIndirect(&brush);
      // Pattern styles need a bitmap this record cannot carry.
      if (object == nullptr) object = CreateSolidBrush(brush.lbColor);
      break;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
      // A LOGFONTW, possibly followed by the fields of its larger variants.
      auto font = r.get<LOGFONTW>(12);
      if (!font) return Outcome::Malformed;
      font->lfFaceName[LF_FACESIZE - 1] = 0;
      object = CreateFontIndirectW(&*font);
      break;
    }
    case EMR_CREATEPALETTE: {
      const auto version = r.get<uint16_t>(12);
      const auto count = r.get<uint16_t>(14);
      std::vector<PALETTEENTRY> entries;
      if (!version || !count || !r.array(16, *count, entries)) return Outcome::Malformed;
      // LOGPALETTE holds one entry in place; room for the rest follows it.
      std::vector<uint32_t> storage(1 + std::max<size_t>(1, entries.size()));
      auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
      palette->palVersion = *version;
      palette->palNumEntries = *count;
      if (!entries.empty()) std::memcpy(palette->palPalEntry, entries.data(), entries.size() * sizeof(PALETTEENTRY));
      object = CreatePalette(palette);
      break;
    }
    case EMR_SETPALETTEENTRIES: {
      const auto start = r.get<uint32_t>(12);
      const auto count = r.get<uint32_t>(16);
      std::vector<PALETTEENTRY> entries;
      if (!start || !count || !r.array(20, *count, entries) || objects_[*index] == nullptr)
        return Outcome::Malformed;
      SetPaletteEntries(objects_[*index], *start, *count, entries.data());
      return Outcome::Played;
    }
    case EMR_RESIZEPALETTE: {
      const auto count = r.get<uint32_t>(12);
      if (!count || objects_[*index] == nullptr) return Outcome::Malformed;
      ResizePalette(objects_[*index], std::min<uint32_t>(*count, 1024));
      return Outcome::Played;
    }
    default:
      return Outcome::Ignored;
  }
  if (object == nullptr) return Outcome::Played;  // refused by GDI, as the recording device might have
  storeObject(*index, object);
  return Outcome::Played;
}

}  // namespace platform::emf
