#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace bw {

// The seam for choosing files to open and a file to save to, so tests can
// answer the choice. `filter` is in the file dialog's form:
// "Log files (*.log *.txt);;All files (*)".
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The existing files chosen; none when the choice was cancelled.
  virtual QStringList chooseFilesToOpen(QWidget* owner, const QString& title,
                                        const QString& filter) = 0;
  // The name chosen to save to; empty when the choice was cancelled.
  virtual QString chooseFileToSave(QWidget* owner, const QString& title, const QString& filter) = 0;
};

}  // namespace bw
