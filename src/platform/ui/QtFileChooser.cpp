#include "platform/ui/QtFileChooser.h"

#include <QFileDialog>

namespace bw {

QStringList QtFileChooser::chooseFilesToOpen(QWidget* owner, const QString& title,
                                             const QString& filter) {
  return QFileDialog::getOpenFileNames(owner, title, QString(), filter);
}

QString QtFileChooser::chooseFileToSave(QWidget* owner, const QString& title,
                                        const QString& filter) {
  return QFileDialog::getSaveFileName(owner, title, QString(), filter);
}

}  // namespace bw
