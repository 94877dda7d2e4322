#include "platform/gdi/PdfSurface.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <random>
#include <regex>

#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/GuiApplication.h"
#include "platform/gdi/Surfaces.h"
#include "tests/support/TempDir.h"

namespace platform::gdi {
namespace {

// The standard output of a shell command, or nullopt when it cannot run.
std::optional<std::string> commandOutput(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  if (pclose(pipe) != 0) return std::nullopt;
  return out;
}

bool haveTool(const char* name) { return commandOutput(std::string("command -v ") + name).has_value(); }

DeviceDescription printer(int dpi, double paperWidthMm, double paperHeightMm, int marginPixels) {
  DeviceDescription d;
  d.technology = 2;  // DT_RASPRINTER
  d.dpiX = d.dpiY = dpi;
  d.physicalWidth = int(paperWidthMm / 25.4 * dpi);
  d.physicalHeight = int(paperHeightMm / 25.4 * dpi);
  d.physicalOffsetX = d.physicalOffsetY = marginPixels;
  d.width = d.physicalWidth - 2 * marginPixels;
  d.height = d.physicalHeight - 2 * marginPixels;
  d.widthMm = int(d.width * 25.4 / dpi);
  d.heightMm = int(d.height * 25.4 / dpi);
  return d;
}

Paint solid(QColor color, int rop2 = R2_COPYPEN) { return Paint{QBrush(color), rop2, false, {}}; }

class PdfSurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureGuiApplication();
    if (!haveTool("pdfinfo") || !haveTool("pdftoppm")) GTEST_SKIP() << "poppler-utils not installed";
  }
  fbtest::TempDir dir;
};

TEST_F(PdfSurfaceTest, PagesHaveThePaperSize) {
  struct Case {
    double widthMm, heightMm;
  };
  for (const Case& c : {Case{100, 150}, Case{297, 210}, Case{210, 297}}) {
    SCOPED_TRACE(std::to_string(c.widthMm) + " x " + std::to_string(c.heightMm) + " mm");
    const std::string file = dir.file("pages.pdf");
    auto surface = makePdfSurface(file, printer(300, c.widthMm, c.heightMm, 50), c.widthMm, c.heightMm);
    for (int page = 0; page < 3; ++page) {
      ASSERT_TRUE(surface->startPage());
      surface->fillRegion(QRegion(0, 0, 100, 100), solid(Qt::black), {});
      ASSERT_TRUE(surface->endPage());
    }
    ASSERT_TRUE(surface->finish());
    const auto info = commandOutput("pdfinfo '" + file + "'");
    ASSERT_TRUE(info) << "pdfinfo failed";
    std::smatch m;
    EXPECT_TRUE(std::regex_search(*info, m, std::regex(R"(Pages:\s+3\n)"))) << *info;
    ASSERT_TRUE(std::regex_search(*info, m, std::regex(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)"))) << *info;
    // PDF pages come in whole points.
    EXPECT_NEAR(std::stod(m[1]), c.widthMm / 25.4 * 72, 1.0);
    EXPECT_NEAR(std::stod(m[2]), c.heightMm / 25.4 * 72, 1.0);
  }
}

TEST_F(PdfSurfaceTest, ImagesAreStoredLosslessly) {
  if (!haveTool("pdfimages")) GTEST_SKIP() << "pdfimages not installed";
  const std::string file = dir.file("image.pdf");
  QImage noise(64, 48, QImage::Format_RGB32);
  std::mt19937 random(7);
  for (int y = 0; y < noise.height(); ++y)
    for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, 0xFF000000u | (random() & 0xFFFFFFu));
  auto surface = makePdfSurface(file, printer(150, 100, 100, 0), 100, 100);
  ASSERT_TRUE(surface->startPage());
  surface->drawImage(noise, QTransform::fromScale(3, 3), false, {});
  ASSERT_TRUE(surface->finish());
  const auto list = commandOutput("pdfimages -list '" + file + "'");
  ASSERT_TRUE(list);
  EXPECT_NE(list->find("image"), std::string::npos) << *list;
  EXPECT_EQ(list->find("jpeg"), std::string::npos) << *list;
}

// The printed page, rendered without smoothing, shows the same pixels as
// the same calls on a raster surface, raster operations and written pixels
// included, with device (0,0) at the printable area's corner.
TEST_F(PdfSurfaceTest, PrintedPageEqualsThePreview) {
  const int dpi = 100, margin = 20;
  const DeviceDescription d = printer(dpi, 100, 120, margin);
  auto preview = std::make_shared<QImage>(d.width, d.height, QImage::Format_RGB32);
  preview->fill(Qt::white);
  const std::string file = dir.file("page.pdf");
  auto pdf = makePdfSurface(file, d, 100, 120);
  auto raster = makeRasterSurface(preview, d);

  QImage patch(30, 20, QImage::Format_RGB32);
  patch.fill(QColor(0x20, 0x90, 0x40));
  const DeviceClip clip{true, QRegion(0, 0, 300, 300)};
  for (Surface* s : {pdf.get(), raster.get()}) {
    ASSERT_TRUE(s->startPage());
    s->fillRegion(QRegion(0, 0, 10, 10), solid(Qt::black), {});
    s->fillRegion(QRegion(40, 40, 120, 80), solid(QColor(0xFF, 0, 0)), {});
    s->fillRegion(QRegion(100, 60, 120, 100), solid(QColor(0x00, 0xFF, 0x00), R2_XORPEN), clip);
    s->fillRegion(QRegion(20, 150, 60, 60), solid(Qt::black, R2_NOT), {});
    s->writePixels(patch, QPoint(200, 200), {});
    // A copy after the shadow exists must land above the composed pixels.
    s->fillRegion(QRegion(110, 70, 20, 20), solid(QColor(0, 0, 0xFF)), {});
    s->endPage();
  }
  ASSERT_TRUE(pdf->finish());

  const std::string prefix = dir.file("render");
  ASSERT_TRUE(commandOutput("pdftoppm -r " + std::to_string(dpi) + " -aa no -aaVector no -png -singlefile '" + file +
                            "' '" + prefix + "'"));
  QImage printed(QString::fromStdString(prefix + ".png"));
  ASSERT_FALSE(printed.isNull());
  printed = printed.convertToFormat(QImage::Format_RGB32);
  ASSERT_GE(printed.width(), d.width + margin);
  ASSERT_GE(printed.height(), d.height + margin);
  EXPECT_EQ(printed.pixel(margin + 5, margin + 5), 0xFF000000u);
  EXPECT_EQ(printed.pixel(margin - 2, margin - 2), 0xFFFFFFFFu) << "the margin stays blank";

  int differing = 0;
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x)
      if (printed.pixel(x + margin, y + margin) != preview->pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0) << "pixels differing from the preview";
  for (QPoint p : {QPoint(50, 50), QPoint(120, 80), QPoint(150, 100), QPoint(180, 140), QPoint(50, 180),
                   QPoint(210, 210), QPoint(115, 75)})
    EXPECT_EQ(printed.pixel(p + QPoint(margin, margin)), preview->pixel(p)) << p.x() << "," << p.y();
  EXPECT_EQ(preview->pixel(150, 100), 0xFFFFFF00u) << "red xor green";
  if (differing) {
    preview->save(QString::fromStdString(dir.file("preview.png")));
    printed.save("/tmp/surf/printed.png");
    preview->save("/tmp/surf/preview.png");
  }
}

TEST_F(PdfSurfaceTest, FinishFailsWhenTheFileCannotBeWritten) {
  auto surface = makePdfSurface(dir.file("missing/folder/out.pdf"), printer(100, 50, 50, 0), 50, 50);
  surface->startPage();
  surface->fillRegion(QRegion(0, 0, 10, 10), solid(Qt::black), {});
  EXPECT_FALSE(surface->finish());
}

}  // namespace
}  // namespace platform::gdi
