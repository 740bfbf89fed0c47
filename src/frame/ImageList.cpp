#include "frame/ImageList.h"

#include <QImage>

#include "frame/ToolbarLayout.h"

namespace bw {

namespace {

constexpr QSize kToolbarImageSize{16, 16};
constexpr QColor kLightGrey{192, 192, 192};

// Picture file of each toolbar key, in resources/toolbar.
QString toolbarPicturePath(const QString& key) {
  QString file = key.toLower();
  file.remove(u' ');
  return QStringLiteral(":/toolbar/%1.xpm").arg(file);
}

}  // namespace

ImageList::ImageList(QSize imageSize, QColor maskColour) : size_(imageSize), mask_(maskColour) {}

ImageList ImageList::toolbarIcons() {
  ImageList list(kToolbarImageSize, kLightGrey);
  for (const char* key : ToolbarLayout::imageKeys()) {
    const QString name = QString::fromLatin1(key);
    if (!list.add(name, toolbarPicturePath(name))) qWarning("Toolbar picture %s is missing.", key);
  }
  return list;
}

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
