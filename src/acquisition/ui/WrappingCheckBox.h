#pragma once

#include <QCheckBox>

namespace bw {

// A check box whose caption wraps onto more lines when the box is narrower
// than the text, as the panel's small option box needs.
class WrappingCheckBox : public QCheckBox {
  Q_OBJECT

 public:
  using QCheckBox::QCheckBox;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
};

}  // namespace bw
