#include "frame/ImageList.h"

#include <QImage>

namespace bw {

ImageList::ImageList(QSize imageSize, QColor maskColour) : size_(imageSize), mask_(maskColour) {}

bool ImageList::add(const QString& key, const QString& path) {
  QImage image(path);
  if (image.isNull() || image.size() != size_) return false;
  image = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb masked = mask_.rgb();
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (line[x] == masked) line[x] = qRgba(0, 0, 0, 0);
  }
  images_.push_back({key, QPixmap::fromImage(image)});
  return true;
}

QString ImageList::key(int index) const {
  return index >= 1 && index <= count() ? images_[static_cast<std::size_t>(index - 1)].key
                                        : QString();
}

QPixmap ImageList::picture(int index) const {
  return index >= 1 && index <= count() ? images_[static_cast<std::size_t>(index - 1)].pixmap
                                        : QPixmap();
}

QPixmap ImageList::picture(const QString& key) const {
  for (const Image& image : images_)
    if (image.key == key) return image.pixmap;
  return {};
}

}  // namespace bw
