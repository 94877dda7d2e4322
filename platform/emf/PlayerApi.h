#pragma once
// Playing enhanced metafiles into device contexts, as PlayEnhMetaFile,
// EnumEnhMetaFile, PlayEnhMetaFileRecord and CopyEnhMetaFile do.

#include <cstdint>

#include "platform/emf/EmfTypes.h"
#include "platform/gdi/GdiTypes.h"

namespace platform {

// One record as it lies in the metafile's bytes.
struct ENHMETARECORD {
  uint32_t iType;
  uint32_t nSize;
  uint32_t dParm[1];
};

// The metafile's object table during playback: nHandles slots, slot 0 the
// metafile itself.
struct HANDLETABLE {
  HGDIOBJ objectHandle[1];
};

// Called for each record; nonzero continues the enumeration.
using ENHMFENUMPROC = int (*)(HDC hdc, HANDLETABLE* table, const ENHMETARECORD* record, int handleCount,
                              void* data);

// Maps the header's picture frame onto `rect` (logical units of `hdc`) and
// plays every record. The context's state is saved before and restored
// after, so the caller's state is as it was. false when the metafile or the
// context is not valid, or a record failed (the rest is still played, as
// GDI does).
bool PlayEnhMetaFile(HDC hdc, HENHMETAFILE metafile, const RECT* rect);

// As PlayEnhMetaFile, but hands each record to `callback`, which plays it
// (or not) with PlayEnhMetaFileRecord; a zero result ends the enumeration
// and gives false. With a null `hdc` the records are only enumerated.
bool EnumEnhMetaFile(HDC hdc, HENHMETAFILE metafile, ENHMFENUMPROC callback, void* data, const RECT* rect);

// Plays one record during an enumeration of `hdc`. `table` and `handleCount`
// are those the enumeration passed. false when the record is malformed or
// the context refuses it.
bool PlayEnhMetaFileRecord(HDC hdc, HANDLETABLE* table, const ENHMETARECORD* record, uint32_t handleCount);

// Writes the metafile's bytes to `fileName` (replacing it) and returns a new
// handle of the copy; with a null name, only the new handle. Null on failure.
HENHMETAFILE CopyEnhMetaFileA(HENHMETAFILE metafile, const char* fileName);

}  // namespace platform
