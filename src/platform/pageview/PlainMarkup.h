#pragma once

#include <QByteArray>
#include <QString>

namespace bw {

// Rewrites an answer page into markup a rich-text widget shows faithfully and
// safely: form controls, which such a widget drops, become visible text
// ("[23.5]", "[x]"), links become plain text, and everything that could
// fetch or run something (images, frames, scripts, style sheets, URL
// attributes, event handlers) is left out. An empty text and `*refusal` set
// when the page costs more to parse than a page may.
QString plainMarkup(const QByteArray& html, QString* refusal = nullptr);

}  // namespace bw
