#include "platform/ui/CommonDialog.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

namespace bw {

DialogResult CommonDialog::ShowOpen(QWidget* owner) {
  const QString chosen = runOpenDialog(owner, DialogTitle, fileDialogNameFilters(Filter), FileName);
  FileName = chosen;
  if (chosen.isEmpty() && CancelError) return DialogResult::Cancelled;
  return DialogResult::Ok;
}

DialogResult CommonDialog::ShowPrinter(QWidget* owner) {
  const bool accepted = runPrinterDialog(owner, DialogTitle);
  if (!accepted && CancelError) return DialogResult::Cancelled;
  return DialogResult::Ok;
}

QString fileDialogNameFilters(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      pattern = pattern.trimmed();
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    }
    // The file dialog filters by the parenthesised patterns; a description
    // that shows its own, as "All Files (*.*)" does, gets them replaced.
    QString description = parts[i].trimmed();
    if (const qsizetype open = description.lastIndexOf(u'(');
        open > 0 && description.endsWith(u')'))
      description = description.left(open).trimmed();
    filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(u' '));
  }
  return filters.join(QStringLiteral(";;"));
}

QString QtCommonDialog::runOpenDialog(QWidget* owner, const QString& title,
                                      const QString& nameFilters, const QString& startName) {
  QFileDialog dialog(owner, title.isEmpty() ? QStringLiteral("Open") : title);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // A log file may not exist yet: any name may be typed.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!nameFilters.isEmpty()) dialog.setNameFilter(nameFilters);
  if (!startName.isEmpty()) dialog.selectFile(startName);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.front();
}

bool QtCommonDialog::runPrinterDialog(QWidget* owner, const QString& title) {
  QPrinter printer;
  QPrintDialog dialog(&printer, owner);
  if (!title.isEmpty()) dialog.setWindowTitle(title);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace bw
