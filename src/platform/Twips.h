#pragma once

#include <QRect>

namespace bw {

// Places and sizes of the windows are given in twips, as they are kept in
// the settings; 15 twips make one pixel.
inline constexpr int kTwipsPerPixel = 15;

// Rounded to the nearest pixel.
constexpr int twipsToPixels(int twips) {
  return (twips + (twips >= 0 ? kTwipsPerPixel / 2 : -(kTwipsPerPixel / 2))) / kTwipsPerPixel;
}

constexpr int pixelsToTwips(int pixels) {
  return pixels * kTwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
  return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

}  // namespace bw
