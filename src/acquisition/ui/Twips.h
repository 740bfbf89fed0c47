#pragma once

#include <QRect>
#include <cmath>

namespace bw {

inline constexpr double kTwipsPerPixel = 15.0;

constexpr int twipsToPixels(int twips) {
  return static_cast<int>(twips / kTwipsPerPixel + (twips >= 0 ? 0.5 : -0.5));
}

inline QRect twipsRect(int left, int top, int width, int height) {
  return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

}  // namespace bw
