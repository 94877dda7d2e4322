// Text records: EXTTEXTOUTW/A, POLYTEXTOUTW/A and SMALLTEXTOUT. Each string
// and advance array is checked against the record before it is copied.
// Text recorded in GM_COMPATIBLE is drawn in that mode, so that it stays
// upright where the mapping flips an axis.

#include <optional>
#include <string>

#include "platform/emf/EmfRecordTypes.h"
#include "platform/emf/Playback.h"
#include "platform/gdi/Gdi.h"

namespace platform::emf {

namespace {

// EMRTEXT: reference point, character count, string offset, options,
// rectangle, advance array offset; the offsets count from the record's start.
constexpr uint64_t kEmrTextSize = 40;

struct TextItem {
  int32_t x = 0, y = 0;
  uint32_t options = 0;
  RECT rect{};
  std::u16string wide;
  std::string narrow;
  std::vector<int32_t> dx;
  uint32_t count() const { return static_cast<uint32_t>(wide.empty() ? narrow.size() : wide.size()); }
  const int32_t* advances() const { return dx.empty() ? nullptr : dx.data(); }
};

std::optional<TextItem> readEmrText(const RecordReader& r, uint64_t at, bool wide) {
  const auto reference = r.get<POINT>(at);
  const auto chars = r.get<uint32_t>(at + 8);
  const auto offString = r.get<uint32_t>(at + 12);
  const auto options = r.get<uint32_t>(at + 16);
  const auto rect = r.get<RECT>(at + 20);
  const auto offDx = r.get<uint32_t>(at + 36);
  if (!reference || !chars || !offString || !options || !rect || !offDx) return std::nullopt;
  TextItem item;
  item.x = reference->x;
  item.y = reference->y;
  item.options = *options;
  item.rect = *rect;
  if (wide) {
    std::vector<char16_t> text;
    if (!r.array(*offString, *chars, text)) return std::nullopt;
    item.wide.assign(text.begin(), text.end());
  } else {
    std::vector<char> text;
    if (!r.array(*offString, *chars, text)) return std::nullopt;
    item.narrow.assign(text.begin(), text.end());
  }
  // Advances: one per character, two with ETO_PDY. Without a usable array
  // the font's own advances are used.
  const uint64_t advances = uint64_t{*chars} * ((*options & ETO_PDY) ? 2 : 1);
  if (*offDx != 0 && !r.array(*offDx, advances, item.dx)) item.dx.clear();
  return item;
}

bool drawItem(HDC hdc, const TextItem& item) {
  if (!item.wide.empty() || item.narrow.empty())
    return ExtTextOutW(hdc, item.x, item.y, item.options, &item.rect, item.wide.data(), item.count(),
                       item.advances());
  return ExtTextOutA(hdc, item.x, item.y, item.options, &item.rect, item.narrow.data(), item.count(),
                     item.advances());
}

}  // namespace

Outcome Playback::textRecord(const RecordReader& r) {
  // rclBounds, iGraphicsMode, exScale, eyScale, EMRTEXT.
  const auto mode = r.get<uint32_t>(24);
  if (!mode) return Outcome::Malformed;
  const auto item = readEmrText(r, 36, r.type() == EMR_EXTTEXTOUTW);
  if (!item) return Outcome::Malformed;
  applyRepresentation(*mode != GM_ADVANCED);
  drawItem(hdc_, *item);
  applyTransform();
  return Outcome::Played;
}

Outcome Playback::polyTextRecord(const RecordReader& r) {
  const auto mode = r.get<uint32_t>(24);
  const auto strings = r.get<uint32_t>(36);
  if (!mode || !strings || !r.fits(40, *strings, kEmrTextSize)) return Outcome::Malformed;
  const bool wide = r.type() == EMR_POLYTEXTOUTW;
  std::vector<TextItem> items;
  items.reserve(*strings);
  for (uint32_t i = 0; i < *strings; ++i) {
    auto item = readEmrText(r, 40 + i * kEmrTextSize, wide);
    if (!item) return Outcome::Malformed;
    items.push_back(std::move(*item));
  }
  applyRepresentation(*mode != GM_ADVANCED);
  if (wide) {
    std::vector<POLYTEXTW> texts;
    texts.reserve(items.size());
    for (const TextItem& item : items)
      texts.push_back({item.x, item.y, item.count(), item.wide.data(), item.options, item.rect, item.advances()});
    if (!texts.empty()) PolyTextOutW(hdc_, texts.data(), static_cast<int>(texts.size()));
  } else {
    for (const TextItem& item : items) drawItem(hdc_, item);
  }
  applyTransform();
  return Outcome::Played;
}

Outcome Playback::smallTextRecord(const RecordReader& r) {
  // x, y, cChars, fuOptions, iGraphicsMode, exScale, eyScale, [rclBounds], text.
  const auto x = r.get<int32_t>(8);
  const auto y = r.get<int32_t>(12);
  const auto chars = r.get<uint32_t>(16);
  const auto options = r.get<uint32_t>(20);
  const auto mode = r.get<uint32_t>(24);
  if (!x || !y || !chars || !options || !mode) return Outcome::Malformed;
  TextItem item;
  item.x = *x;
  item.y = *y;
  uint64_t textAt = 36;
  if (!(*options & ETO_NO_RECT)) {
    const auto rect = r.get<RECT>(36);
    if (!rect) return Outcome::Malformed;
    item.rect = *rect;
    textAt = 52;
  }
  if (*options & ETO_SMALL_CHARS) {
    // The low bytes of UTF-16 code units.
    std::vector<uint8_t> bytes;
    if (!r.array(textAt, *chars, bytes)) return Outcome::Malformed;
    item.wide.assign(bytes.begin(), bytes.end());
  } else {
    std::vector<char16_t> text;
    if (!r.array(textAt, *chars, text)) return Outcome::Malformed;
    item.wide.assign(text.begin(), text.end());
  }
  item.options = *options & ~(ETO_SMALL_CHARS | ETO_NO_RECT);
  if (*options & ETO_NO_RECT) item.options &= ~(ETO_OPAQUE | ETO_CLIPPED);
  applyRepresentation(*mode != GM_ADVANCED);
  ExtTextOutW(hdc_, item.x, item.y, item.options, &item.rect, item.wide.data(), item.count(), nullptr);
  applyTransform();
  return Outcome::Played;
}

}  // namespace platform::emf
