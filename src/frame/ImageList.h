#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <vector>

namespace bw {

// Pictures of one size, by 1-based index or key, with one colour drawn
// transparent.
class ImageList {
 public:
  ImageList(QSize imageSize, QColor maskColour);

  // Loads `path` (e.g. a resource); false when it cannot be read or has
  // another size.
  bool add(const QString& key, const QString& path);

  int count() const { return static_cast<int>(images_.size()); }
  QSize imageSize() const { return size_; }
  QColor maskColour() const { return mask_; }
  // Empty for an index out of range or an unknown key.
  QString key(int index) const;
  QPixmap picture(int index) const;
  QPixmap picture(const QString& key) const;

 private:
  struct Image {
    QString key;
    QPixmap pixmap;
  };
  QSize size_;
  QColor mask_;
  std::vector<Image> images_;
};

}  // namespace bw
