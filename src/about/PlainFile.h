#pragma once

#include <QString>

namespace bw {

// Whether `path` names a file the program may start: an existing, visible,
// ordinary file; false for a directory, a hidden file or nothing at all.
bool isPlainFile(const QString& path);

}  // namespace bw
