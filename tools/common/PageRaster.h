#pragma once
// Draws one page or bare metafile onto a white picture, as the preview
// does: the page's frame mapped onto the whole picture.

#include <QImage>
#include <optional>
#include <string>

#include "platform/emf/EmfTypes.h"

namespace tools {

// A page of a page file (when the file starts with the page file magic) or
// a bare metafile; null with `error` set when neither loads.
HENHMETAFILE loadPageOrMetafile(const std::string& path, int page, std::string& error);

// The picture size of a metafile's frame at `dpi`, rounded.
QSize frameSizeAt(HENHMETAFILE metafile, double dpi);

struct RenderOptions {
  bool drawImages = true;
  bool smoothText = false;
};

// The metafile drawn into a white RGB32 picture of `size`.
QImage renderMetafile(HENHMETAFILE metafile, QSize size, const RenderOptions& options);

}  // namespace tools
