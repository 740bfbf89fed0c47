#include "platform/ui/QtMessageBox.h"

#include <QMessageBox>

#include "BrinewatchConfig.h"

namespace bw {

void QtMessageBox::show(QWidget* owner, const QString& text, MessageStyle style,
                        const std::optional<QString>& title) {
  QMessageBox box(
      style == MessageStyle::Information ? QMessageBox::Information : QMessageBox::NoIcon,
      title.value_or(QString::fromLatin1(config::kApplicationTitle)), text, QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace bw
