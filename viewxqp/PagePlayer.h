#pragma once
// Plays a page record by record. PlayRecord is the hook through which page
// playback is filtered; the library's one filter leaves out bitmap records
// when pictures are not wanted.

#include "platform/emf/PlayerApi.h"

namespace viewxqp {

class PagePlayer {
 public:
  virtual ~PagePlayer() = default;

  // Nonzero to go on with the next record.
  virtual int PlayRecord(HDC hdc, platform::HANDLETABLE* table, const platform::ENHMETARECORD* record,
                         int handleCount, bool drawImages);

  // Enumerates the metafile's records into `rect`, passing each to PlayRecord.
  bool EnumeratePage(HDC hdc, HENHMETAFILE metafile, const platform::RECT& rect, bool drawImages);

  bool drawsImages() const { return drawImages_; }

 private:
  bool drawImages_ = true;
};

// The record types the image filter leaves out: BITBLT, STRETCHBLT,
// MASKBLT, PLGBLT and STRETCHDIBITS (SETDIBITSTODEVICE is kept).
bool isFilteredImageRecord(uint32_t type);

}  // namespace viewxqp
