#pragma once

#include <gumbo.h>

#include <QString>

namespace bw::gumbo {

// Lower-case tag name, also for elements the parser does not know.
inline QString tagName(const GumboElement& element) {
  if (element.tag != GUMBO_TAG_UNKNOWN)
    return QString::fromLatin1(gumbo_normalized_tagname(element.tag));
  GumboStringPiece piece = element.original_tag;
  gumbo_tag_from_original_text(&piece);
  return QString::fromUtf8(piece.data, static_cast<qsizetype>(piece.length)).toLower();
}

}  // namespace bw::gumbo
