#pragma once
// Picture similarity as the fidelity measure defines it: grayscale SSIM
// (luma 0.299 R + 0.587 G + 0.114 B; 11 x 11 Gaussian window, sigma 1.5;
// K1 0.01, K2 0.03, L 255), the mean over every window that lies wholly
// inside both pictures.

#include <QImage>

namespace tools {

// -1 when the sizes differ or the pictures are smaller than the window.
double ssim(const QImage& a, const QImage& b);

// The share of pixels that are not white (any channel below 250).
double nonWhiteShare(const QImage& image);

}  // namespace tools
