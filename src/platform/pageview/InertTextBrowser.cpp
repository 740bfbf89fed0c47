#include "platform/pageview/InertTextBrowser.h"

namespace bw {

InertTextBrowser::InertTextBrowser(QWidget* parent) : QTextBrowser(parent) {
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setUndoRedoEnabled(false);
  setContextMenuPolicy(Qt::NoContextMenu);
}

QVariant InertTextBrowser::loadResource(int /*type*/, const QUrl& /*name*/) {
  // A null result would make the document read local files itself; an empty
  // one ends the lookup with nothing.
  return QVariant(QByteArray());
}

}  // namespace bw
