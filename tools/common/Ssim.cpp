#include "tools/common/Ssim.h"

#include <cmath>
#include <vector>

namespace tools {

namespace {

constexpr int kWindow = 11;

std::vector<float> luma(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  std::vector<float> out(size_t(rgb.width()) * rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      out[size_t(y) * rgb.width() + x] =
          float(0.299 * qRed(row[x]) + 0.587 * qGreen(row[x]) + 0.114 * qBlue(row[x]));
  }
  return out;
}

// The Gaussian-weighted mean of every valid window: a separable filter
// without padding, giving (w - 10) x (h - 10) values.
std::vector<float> filtered(const std::vector<float>& in, int w, int h, const float* kernel) {
  const int ow = w - kWindow + 1, oh = h - kWindow + 1;
  std::vector<float> across(size_t(ow) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < ow; ++x) {
      float sum = 0;
      for (int k = 0; k < kWindow; ++k) sum += kernel[k] * in[size_t(y) * w + x + k];
      across[size_t(y) * ow + x] = sum;
    }
  std::vector<float> out(size_t(ow) * oh);
  for (int y = 0; y < oh; ++y)
    for (int x = 0; x < ow; ++x) {
      float sum = 0;
      for (int k = 0; k < kWindow; ++k) sum += kernel[k] * across[size_t(y + k) * ow + x];
      out[size_t(y) * ow + x] = sum;
    }
  return out;
}

}  // namespace

double ssim(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.width() < kWindow || a.height() < kWindow) return -1;
  float kernel[kWindow];
  float total = 0;
  for (int k = 0; k < kWindow; ++k) {
    const float d = float(k - kWindow / 2);
    kernel[k] = std::exp(-d * d / (2 * 1.5f * 1.5f));
    total += kernel[k];
  }
  for (float& k : kernel) k /= total;

  const int w = a.width(), h = a.height();
  const std::vector<float> x = luma(a), y = luma(b);
  std::vector<float> xx(x.size()), yy(x.size()), xy(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    xx[i] = x[i] * x[i];
    yy[i] = y[i] * y[i];
    xy[i] = x[i] * y[i];
  }
  const auto mx = filtered(x, w, h, kernel), my = filtered(y, w, h, kernel);
  const auto sxx = filtered(xx, w, h, kernel), syy = filtered(yy, w, h, kernel), sxy = filtered(xy, w, h, kernel);
  const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
  double sum = 0;
  for (size_t i = 0; i < mx.size(); ++i) {
    const double ux = mx[i], uy = my[i];
    const double vx = sxx[i] - ux * ux, vy = syy[i] - uy * uy, cov = sxy[i] - ux * uy;
    sum += ((2 * ux * uy + c1) * (2 * cov + c2)) / ((ux * ux + uy * uy + c1) * (vx + vy + c2));
  }
  return sum / double(mx.size());
}

double nonWhiteShare(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  size_t count = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      if (qRed(row[x]) < 250 || qGreen(row[x]) < 250 || qBlue(row[x]) < 250) ++count;
  }
  return rgb.isNull() ? 0 : double(count) / (double(rgb.width()) * rgb.height());
}

}  // namespace tools
