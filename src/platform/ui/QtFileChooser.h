#pragma once

#include "platform/FileChooser.h"

namespace bw {

// Files chosen in Qt's file dialog, modal over its owner; saving onto an
// existing file asks first.
class QtFileChooser final : public FileChooser {
 public:
  QStringList chooseFilesToOpen(QWidget* owner, const QString& title,
                                const QString& filter) override;
  QString chooseFileToSave(QWidget* owner, const QString& title, const QString& filter) override;
};

}  // namespace bw
