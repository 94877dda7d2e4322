#pragma once
// What the metafile player tests share: a recording target, metafile
// handles that delete themselves, and device-space checks.

#include <gtest/gtest.h>

#include <QRectF>
#include <memory>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "platform/emf/PlayerApi.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/RecordingSurface.h"

namespace emftest {

struct MetafileDeleter {
  void operator()(HENHMETAFILE__* h) const { platform::DeleteEnhMetaFile(h); }
};
using Metafile = std::unique_ptr<HENHMETAFILE__, MetafileDeleter>;

inline Metafile load(const std::vector<uint8_t>& bytes) {
  return Metafile(platform::SetEnhMetaFileBits(static_cast<uint32_t>(bytes.size()), bytes.data()));
}

// A context on a recording surface (1000 x 1000 pixels, 96 dpi).
class RecordingTarget {
 public:
  RecordingTarget()
      : surface(std::make_shared<platform::gdi::RecordingSurface>()), hdc(platform::CreateSurfaceDC(surface)) {}
  ~RecordingTarget() { platform::DeleteDC(hdc); }
  RecordingTarget(const RecordingTarget&) = delete;
  RecordingTarget& operator=(const RecordingTarget&) = delete;

  bool play(const std::vector<uint8_t>& bytes, platform::RECT rect) {
    const Metafile metafile = load(bytes);
    return metafile && platform::PlayEnhMetaFile(hdc, metafile.get(), &rect);
  }
  std::vector<const platform::gdi::RecordedOp*> ops(platform::gdi::OpKind kind) const { return surface->opsOf(kind); }
  std::string dump() const { return surface->describeAll(); }

  std::shared_ptr<platform::gdi::RecordingSurface> surface;
  HDC hdc;
};

// Rectangles compared to the pixel: GDI's rounding may differ by one.
inline ::testing::AssertionResult near(const QRectF& actual, const QRectF& expected, double tolerance = 1.01) {
  const bool ok = std::abs(actual.left() - expected.left()) <= tolerance &&
                  std::abs(actual.top() - expected.top()) <= tolerance &&
                  std::abs(actual.right() - expected.right()) <= tolerance &&
                  std::abs(actual.bottom() - expected.bottom()) <= tolerance;
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << actual.left() << ", " << actual.top() << ")-(" << actual.right()
                                       << ", " << actual.bottom() << "), expected (" << expected.left() << ", "
                                       << expected.top() << ")-(" << expected.right() << ", " << expected.bottom()
                                       << ")";
}

}  // namespace emftest
