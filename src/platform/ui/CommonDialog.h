#pragma once

#include <QString>

class QWidget;

namespace bw {

// How a dialog showing ended. `Cancelled` is reported only while CancelError
// is on; otherwise a cancel is an ordinary end with no choice.
enum class DialogResult { Ok, Cancelled };

// The main window's one common dialog. Its properties stay from one showing
// to the next, whoever set them.
class CommonDialog {
 public:
  virtual ~CommonDialog() = default;

  QString DialogTitle;
  bool CancelError = false;
  // "description|pattern" pairs, '|' separated; "*.*" means all files.
  QString Filter;
  QString FileName;

  // Modal open-file dialog. A chosen file sets FileName; a cancel leaves it
  // empty, so a cancel never passes for the name chosen last time.
  DialogResult ShowOpen(QWidget* owner);
  // Modal printer dialog; nothing chosen in it is kept.
  DialogResult ShowPrinter(QWidget* owner);

 protected:
  // The dialogs themselves; tests answer them instead. An empty result is a
  // cancel.
  virtual QString runOpenDialog(QWidget* owner, const QString& title, const QString& nameFilters,
                                const QString& startName) = 0;
  virtual bool runPrinterDialog(QWidget* owner, const QString& title) = 0;
};

// Filter text as the file dialog takes it: "all Files | *.*" gives
// "all Files (*)".
QString fileDialogNameFilters(const QString& filter);

class QtCommonDialog final : public CommonDialog {
 protected:
  QString runOpenDialog(QWidget* owner, const QString& title, const QString& nameFilters,
                        const QString& startName) override;
  bool runPrinterDialog(QWidget* owner, const QString& title) override;
};

}  // namespace bw
