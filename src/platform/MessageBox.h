#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace bw {

// Message box styles the program uses.
enum class MessageStyle : int { Ok = 0, Information = 64 };

// The one seam for modal message boxes, so tests can answer them.
class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // Without a title the box shows the application title.
  virtual void show(QWidget* owner, const QString& text, MessageStyle style,
                    const std::optional<QString>& title = std::nullopt) = 0;
};

}  // namespace bw
