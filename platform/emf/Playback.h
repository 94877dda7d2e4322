#pragma once
// One playback of a metafile into a device context: the metafile's own
// mapping state nested inside the caller's, its handle table, and one
// handler per record family. Player.cpp walks the records and dispatches;
// the handlers live in StateRecords, ObjectRecords, DrawRecords,
// TextRecords and BitmapRecords.

#include <QTransform>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "platform/emf/PlayerApi.h"
#include "platform/emf/RecordReader.h"
#include "platform/gdi/GdiTypes.h"

namespace platform::emf {

// What became of a record.
enum class Outcome {
  Played,     // handed to the context (which may still have drawn nothing)
  Ignored,    // a record without effect here (comments, colour management, unknown types)
  Malformed,  // a count, offset, size or handle index that does not fit: skipped
};

// The metafile's mapping: what its SetMapMode, extent, origin and world
// transform records set, relative to the recording device's pixels.
struct MetaMapping {
  int mapMode = MM_TEXT;
  POINT windowOrg{0, 0}, viewportOrg{0, 0};
  SIZE windowExt{1, 1}, viewportExt{1, 1};
  int graphicsMode = GM_COMPATIBLE;
  QTransform world;
};

// A DIB taken out of a record: header with colours, and the pixels, both
// copied into buffers of their own.
struct RecordDib {
  std::vector<uint8_t> info;
  std::vector<uint8_t> bits;
  int32_t width = 0, height = 0;  // height < 0: top-down
  uint16_t bitCount = 0;
  const BITMAPINFO* bitmapInfo() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};

class Playback {
 public:
  // `hdc` may be null (enumeration only); `rect` in the context's logical units.
  Playback(HDC hdc, const EnhMetaFile& metafile, const RECT* rect);
  ~Playback();
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Saves the context and sets up the mapping of the picture frame onto the
  // rectangle; end() (also run by the destructor) restores the context and
  // deletes the objects the records made.
  void begin();
  void end();

  // Plays one record of `size` bytes (already checked: >= 8, a multiple of 4).
  Outcome play(const uint8_t* record, size_t size);

  HDC hdc() const { return hdc_; }
  const EnhMetaFile& metafile() const { return metafile_; }
  HANDLETABLE* table() { return reinterpret_cast<HANDLETABLE*>(objects_.data()); }
  uint32_t handleCount() const { return static_cast<uint32_t>(objects_.size()); }

  size_t malformedCount() const { return malformed_; }
  size_t ignoredCount() const { return ignored_; }

 private:
  Outcome dispatch(const RecordReader& r);

  // StateRecords.cpp: mapping, attributes, clipping, save and restore.
  Outcome mappingRecord(const RecordReader& r);
  Outcome attributeRecord(const RecordReader& r);
  Outcome clipRecord(const RecordReader& r);
  Outcome saveRestoreRecord(const RecordReader& r);
  void setMetaMapMode(int mode);
  void fixIsotropic();
  QTransform pageTransform() const;
  // The metafile's logical units to the destination's device pixels.
  QTransform logicalToDevice() const;
  // Puts logicalToDevice() into the context: as a page transform in
  // GM_COMPATIBLE when it has no rotation, else as a world transform.
  void applyTransform();
  // As applyTransform, for one record: `compatible` asks for GM_COMPATIBLE
  // (upright text under flipped axes) where the transform allows it.
  void applyRepresentation(bool compatible);
  bool worldIsIdentity() const;
  void resetAttributes();

  // ObjectRecords.cpp: the handle table.
  Outcome objectRecord(const RecordReader& r);
  HGDIOBJ objectAt(uint32_t index) const;  // table slot or stock object; null when neither
  bool validSlot(uint32_t index) const { return index > 0 && index < objects_.size(); }
  void storeObject(uint32_t index, HGDIOBJ object);

  // DrawRecords.cpp: lines, shapes, arcs, paths, regions, gradients.
  Outcome polyRecord(const RecordReader& r);
  Outcome polyPolyRecord(const RecordReader& r);
  Outcome shapeRecord(const RecordReader& r);
  Outcome pathRecord(const RecordReader& r);
  Outcome regionRecord(const RecordReader& r);
  Outcome gradientRecord(const RecordReader& r);
  // A region from RGNDATA in the recording device's pixels, in the
  // destination's device pixels; null when the data does not fit.
  HRGN regionFromRecord(const RecordReader& r, uint64_t offset, uint64_t size) const;

  // TextRecords.cpp
  Outcome textRecord(const RecordReader& r);
  Outcome polyTextRecord(const RecordReader& r);
  Outcome smallTextRecord(const RecordReader& r);

  // BitmapRecords.cpp
  Outcome bitmapRecord(const RecordReader& r);
  Outcome dibBrushRecord(const RecordReader& r);
  // The DIB at the given offsets of the record; nothing when it does not fit
  // or is larger than a picture can sensibly be.
  std::optional<RecordDib> dibFromRecord(const RecordReader& r, uint32_t offBmi, uint32_t cbBmi, uint32_t offBits,
                                         uint32_t cbBits) const;

  HDC hdc_;
  const EnhMetaFile& metafile_;
  ENHMETAHEADER header_{};
  RECT rect_{};
  bool hasRect_ = false;
  bool begun_ = false;
  int savedLevel_ = 0;

  // The recording device's pixels per millimetre and the base transform
  // from its pixels to the destination's device pixels.
  SIZE devicePixels_{0, 0}, deviceMm_{0, 0};
  QTransform base_;

  // What the context was last given, so that unchanged transforms are not
  // set again; invalid after RestoreDC.
  bool representationValid_ = false;
  bool representationCompatible_ = false;
  QTransform representation_;

  MetaMapping mapping_;
  std::vector<MetaMapping> savedMappings_;
  std::vector<HGDIOBJ> objects_;

  size_t malformed_ = 0;
  size_t ignored_ = 0;
};

// Converts a transform to GDI's form and back.
XFORM toXform(const QTransform& t);
QTransform fromXform(const XFORM& x);

}  // namespace platform::emf
