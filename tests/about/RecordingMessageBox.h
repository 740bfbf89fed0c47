#pragma once

#include <QString>
#include <QVector>

#include "platform/ui/MessageBox.h"

namespace bw {

// Answers every message box at once and keeps what it was asked to show.
class RecordingMessageBox final : public MessageBox {
 public:
  struct Shown {
    QWidget* owner;
    QString text;
    MessageStyle style;
    std::optional<QString> title;
  };
  void show(QWidget* owner, const QString& text, MessageStyle style,
            const std::optional<QString>& title) override {
    shown.append({owner, text, style, title});
  }
  QVector<Shown> shown;
};

}  // namespace bw
