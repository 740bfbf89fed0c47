#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace bw {

// What the help viewer is asked to show; the values are the help call's own.
enum class HelpRequest : unsigned { Contents = 3, PartialKey = 261 };

// Shows the program's help file.
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;

  // Shows `helpFile` for `request` over `owner`; `keyword` is what a keyword
  // search starts with. The reason when it could not be shown.
  virtual std::optional<QString> show(QWidget* owner, const QString& helpFile, HelpRequest request,
                                      const QString& keyword) = 0;
};

}  // namespace bw
