#include <array>
#include <mutex>

#include "platform/gdi/GdiObjects.h"

namespace platform::gdi {

namespace {

// Handle layout: bit 62 set for device contexts (see DcTable.cpp), bits
// 24..55 the slot's generation, bits 0..23 the slot number plus one.
constexpr uint64_t kSlotBits = 24;
constexpr uint64_t kSlotMask = (uint64_t(1) << kSlotBits) - 1;
constexpr uint64_t kDcTag = uint64_t(1) << 62;
constexpr size_t kMaxSlots = kSlotMask - 1;

struct Slot {
  std::shared_ptr<GdiObject> object;
  uint32_t generation = 1;
  bool stock = false;
};

constexpr int kStockCount = 20;

struct Table {
  std::mutex mutex;
  std::vector<Slot> entries_;
  std::vector<uint32_t> freeEntries_;
  std::array<HGDIOBJ, kStockCount> stock{};
  HGDIOBJ defaultBitmap = nullptr;

  HGDIOBJ handleOf(uint32_t index) const {
    uint64_t value = (uint64_t(entries_[index].generation) << kSlotBits) | (uint64_t(index) + 1);
    return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(value));
  }

  Slot* lookup(HGDIOBJ handle) {
    uint64_t value = reinterpret_cast<uintptr_t>(handle);
    if (value & kDcTag) return nullptr;
    uint64_t index = value & kSlotMask;
    if (index == 0 || index > entries_.size()) return nullptr;
    Slot& slot = entries_[index - 1];
    if (!slot.object || slot.generation != uint32_t(value >> kSlotBits)) return nullptr;
    return &slot;
  }

  HGDIOBJ add(GdiObject object, bool isStock) {
    uint32_t index;
    if (!freeEntries_.empty()) {
      index = freeEntries_.back();
      freeEntries_.pop_back();
    } else {
      if (entries_.size() >= kMaxSlots) return nullptr;
      index = uint32_t(entries_.size());
      entries_.emplace_back();
    }
    entries_[index].object = std::make_shared<GdiObject>(std::move(object));
    entries_[index].stock = isStock;
    return handleOf(index);
  }

  Table() { makeStockObjects(); }

  void makeStockObjects() {
    auto brush = [](uint32_t style, COLORREF color) {
      BrushObject b;
      b.style = style;
      b.color = color;
      return b;
    };
    auto pen = [](uint32_t style, COLORREF color) {
      PenObject p;
      p.style = style;
      p.color = color;
      return p;
    };
    auto font = [](int height, int weight, uint8_t pitch, const char* face) {
      FontObject f;
      f.logfont.lfHeight = height;
      f.logfont.lfWeight = weight;
      f.logfont.lfPitchAndFamily = pitch;
      for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) f.logfont.lfFaceName[i] = char16_t(face[i]);
      return f;
    };
    stock[WHITE_BRUSH] = add(brush(BS_SOLID, 0xFFFFFF), true);
    stock[LTGRAY_BRUSH] = add(brush(BS_SOLID, 0xC0C0C0), true);
    stock[GRAY_BRUSH] = add(brush(BS_SOLID, 0x808080), true);
    stock[DKGRAY_BRUSH] = add(brush(BS_SOLID, 0x404040), true);
    stock[BLACK_BRUSH] = add(brush(BS_SOLID, 0), true);
    stock[NULL_BRUSH] = add(brush(BS_NULL, 0), true);
    stock[WHITE_PEN] = add(pen(PS_SOLID, 0xFFFFFF), true);
    stock[BLACK_PEN] = add(pen(PS_SOLID, 0), true);
    stock[NULL_PEN] = add(pen(PS_NULL, 0), true);
    stock[OEM_FIXED_FONT] = add(font(12, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Terminal"), true);
    stock[ANSI_FIXED_FONT] = add(font(12, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Courier"), true);
    stock[ANSI_VAR_FONT] = add(font(12, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif"), true);
    stock[SYSTEM_FONT] = add(font(16, FW_BOLD, VARIABLE_PITCH | FF_SWISS, "System"), true);
    stock[DEVICE_DEFAULT_FONT] = add(font(16, FW_BOLD, VARIABLE_PITCH | FF_SWISS, "System"), true);
    stock[SYSTEM_FIXED_FONT] = add(font(16, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Fixedsys"), true);
    stock[DEFAULT_GUI_FONT] = add(font(-11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, "MS Shell Dlg"), true);
    // The twenty static colours of a palette device.
    static const uint32_t kStatic[20] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000,
                                         0xC0C0C0, 0xC0DCC0, 0xF0CAA6, 0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF,
                                         0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    PaletteObject palette;
    for (uint32_t c : kStatic) palette.entries.push_back({GetRValue(c), GetGValue(c), GetBValue(c), 0});
    stock[DEFAULT_PALETTE] = add(std::move(palette), true);
    stock[DC_BRUSH] = add(brush(BS_SOLID, 0xFFFFFF), true);
    stock[DC_PEN] = add(pen(PS_SOLID, 0), true);
    BitmapObject bitmap;
    bitmap.image = std::make_shared<QImage>(1, 1, QImage::Format_RGB32);
    bitmap.image->fill(Qt::white);
    bitmap.bitsPerPixel = 1;
    defaultBitmap = add(std::move(bitmap), true);
  }
};

Table& table() {
  static Table* t = new Table;  // lives to the end of the process, past static destructors
  return *t;
}

}  // namespace

HGDIOBJ addObject(GdiObject object) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  return t.add(std::move(object), false);
}

std::shared_ptr<GdiObject> objectFromHandle(HGDIOBJ handle) {
  if (!handle) return nullptr;
  Table& t = table();
  std::lock_guard lock(t.mutex);
  Slot* slot = t.lookup(handle);
  return slot ? slot->object : nullptr;
}

bool removeObject(HGDIOBJ handle) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  Slot* slot = t.lookup(handle);
  if (!slot) return false;
  if (slot->stock) return true;
  slot->object.reset();
  slot->generation = slot->generation == UINT32_MAX ? 1 : slot->generation + 1;
  t.freeEntries_.push_back(uint32_t(slot - t.entries_.data()));
  return true;
}

bool replaceObject(HGDIOBJ handle, GdiObject object) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  Slot* slot = t.lookup(handle);
  if (!slot || slot->stock) return false;
  slot->object = std::make_shared<GdiObject>(std::move(object));
  return true;
}

bool isStockObject(HGDIOBJ handle) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  Slot* slot = t.lookup(handle);
  return slot && slot->stock;
}

HBITMAP defaultBitmap() { return table().defaultBitmap; }

HGDIOBJ stockObject(int index) {
  if (index < 0 || index >= kStockCount) return nullptr;
  return table().stock[size_t(index)];
}

bool isDcHandle(const void* handle) { return (reinterpret_cast<uintptr_t>(handle) & kDcTag) != 0; }

}  // namespace platform::gdi
