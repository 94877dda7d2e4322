#include "viewxqp/PagePlayer.h"

namespace viewxqp {

bool isFilteredImageRecord(uint32_t type) {
  switch (type) {
    case 76:  // EMR_BITBLT
    case 77:  // EMR_STRETCHBLT
    case 78:  // EMR_MASKBLT
    case 79:  // EMR_PLGBLT
    case 81:  // EMR_STRETCHDIBITS
      return true;
    default:
      return false;
  }
}

int PagePlayer::PlayRecord(HDC hdc, platform::HANDLETABLE* table, const platform::ENHMETARECORD* record,
                           int handleCount, bool drawImages) {
  if (!drawImages && isFilteredImageRecord(record->iType)) return 1;
  return platform::PlayEnhMetaFileRecord(hdc, table, record, static_cast<uint32_t>(handleCount)) ? 1 : 0;
}

namespace {

int enumerateCallback(HDC hdc, platform::HANDLETABLE* table, const platform::ENHMETARECORD* record,
                      int handleCount, void* data) {
  auto* player = static_cast<PagePlayer*>(data);
  return player->PlayRecord(hdc, table, record, handleCount, player->drawsImages());
}

}  // namespace

bool PagePlayer::EnumeratePage(HDC hdc, HENHMETAFILE metafile, const platform::RECT& rect, bool drawImages) {
  drawImages_ = drawImages;
  return platform::EnumEnhMetaFile(hdc, metafile, enumerateCallback, this, &rect);
}

}  // namespace viewxqp
