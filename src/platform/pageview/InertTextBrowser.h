#pragma once

#include <QTextBrowser>

namespace bw {

// A read-only rich-text widget that never loads anything: no images, style
// sheets or files, from the network or from disk, and no link is followed.
class InertTextBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  explicit InertTextBrowser(QWidget* parent = nullptr);

  QVariant loadResource(int type, const QUrl& name) override;
};

}  // namespace bw
