#include "about/PlainFile.h"

#include <QFileInfo>

namespace bw {

bool isPlainFile(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && info.isFile() && !info.isHidden();
}

}  // namespace bw
