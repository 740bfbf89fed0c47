#pragma once

#include "platform/MessageBox.h"

namespace bw {

// Message boxes as Qt shows them, modal over their owner.
class QtMessageBox final : public MessageBox {
 public:
  void show(QWidget* owner, const QString& text, MessageStyle style,
            const std::optional<QString>& title = std::nullopt) override;
};

}  // namespace bw
