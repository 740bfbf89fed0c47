#pragma once

#include <QFile>
#include <QString>
#include <filesystem>

namespace bw {

// A path as the file system takes it.
inline std::filesystem::path nativePath(const QString& path) {
#ifdef Q_OS_WIN
  return std::filesystem::path(path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

}  // namespace bw
