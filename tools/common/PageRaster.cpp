#include "tools/common/PageRaster.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "platform/gdi/DcApi.h"
#include "platform/gdi/Surfaces.h"
#include "platform/system/File.h"
#include "tools/common/ErrorText.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/PagePlayer.h"

namespace tools {

HENHMETAFILE loadPageOrMetafile(const std::string& path, int page, std::string& error) {
  auto file = platform::File::open(path, platform::FileMode::OpenForRead);
  if (!file) {
    error = path + ": " + lastErrorText();
    return nullptr;
  }
  char magic[4] = {};
  const bool hasMagic = file.size() >= 8 && file.readExact(magic, 4) && std::memcmp(magic, "xqp", 4) == 0;
  if (hasMagic) {
    file.close();
    HENHMETAFILE metafile = viewxqp::LoadPage(path.c_str(), page);
    if (metafile == nullptr) error = path + ": page " + std::to_string(page) + " cannot be loaded";
    return metafile;
  }
  const int64_t size = file.size();
  if (size <= 0 || size > (int64_t(1) << 31)) {
    error = path + ": not a metafile";
    return nullptr;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!file.readAt(0, bytes.data(), bytes.size())) {
    error = path + ": " + lastErrorText();
    return nullptr;
  }
  file.close();
  HENHMETAFILE metafile = platform::SetEnhMetaFileBits(std::move(bytes));
  if (metafile == nullptr) error = path + ": not a valid metafile";
  return metafile;
}

QSize frameSizeAt(HENHMETAFILE metafile, double dpi) {
  platform::ENHMETAHEADER header{};
  platform::GetEnhMetaFileHeader(metafile, sizeof header, &header);
  const double width = (double(header.rclFrame.right) - header.rclFrame.left) / 2540.0 * dpi;
  const double height = (double(header.rclFrame.bottom) - header.rclFrame.top) / 2540.0 * dpi;
  return {int(std::lround(std::fabs(width))), int(std::lround(std::fabs(height)))};
}

QImage renderMetafile(HENHMETAFILE metafile, QSize size, const RenderOptions& options) {
  auto image = std::make_shared<QImage>(size, QImage::Format_RGB32);
  image->fill(Qt::white);
  platform::gdi::DeviceDescription description;
  description.width = size.width();
  description.height = size.height();
  description.widthMm = int(std::lround(size.width() * 25.4 / 96.0));
  description.heightMm = int(std::lround(size.height() * 25.4 / 96.0));
  {
    HDC hdc = platform::CreateSurfaceDC(platform::gdi::makeRasterSurface(image, description, options.smoothText));
    viewxqp::PagePlayer player;
    player.EnumeratePage(hdc, metafile, {0, 0, size.width(), size.height()}, options.drawImages);
    platform::DeleteDC(hdc);
  }
  return *image;
}

}  // namespace tools
