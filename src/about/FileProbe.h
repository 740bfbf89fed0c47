#pragma once

#include <QString>

namespace bw {

// Whether a path names a file the program may start.
class FileProbe {
 public:
  virtual ~FileProbe() = default;
  // True for an existing, visible, ordinary file; false for a directory, a
  // hidden file or nothing at all.
  virtual bool isPlainFile(const QString& path) const = 0;
};

class QtFileProbe final : public FileProbe {
 public:
  bool isPlainFile(const QString& path) const override;
};

}  // namespace bw
