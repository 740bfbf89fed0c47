#include "about/FileProbe.h"

#include <QFileInfo>

namespace bw {

bool QtFileProbe::isPlainFile(const QString& path) const {
  const QFileInfo info(path);
  return info.exists() && info.isFile() && !info.isHidden() && !info.isDir();
}

}  // namespace bw
