#include "frame/ui/ModalWindows.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

namespace bw {

namespace {
// More would mean a window that will not close; give up rather than spin.
constexpr int kMostWindows = 64;
}  // namespace

void ModalWindows::closeAll() {
  for (int i = 0; i < kMostWindows; ++i) {
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup) break;
    popup->close();
  }
  for (int i = 0; i < kMostWindows; ++i) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) break;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    // A box that refuses to close (no escape button) is hidden all the same.
    if (QApplication::activeModalWidget() == modal) modal->hide();
  }
}

}  // namespace bw
