#pragma once

#include <gumbo.h>

#include <QString>
#include <vector>

namespace bw::gumbo {

inline bool isElement(const GumboNode* node) {
  return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

// Lower-case tag name, also for elements the parser does not know.
inline QString tagName(const GumboElement& element) {
  if (element.tag != GUMBO_TAG_UNKNOWN)
    return QString::fromLatin1(gumbo_normalized_tagname(element.tag));
  GumboStringPiece piece = element.original_tag;
  gumbo_tag_from_original_text(&piece);
  return QString::fromUtf8(piece.data, static_cast<qsizetype>(piece.length)).toLower();
}

// The attribute's value; nullptr when the element has no such attribute.
inline const char* attribute(const GumboElement& element, const char* name) {
  const GumboAttribute* found = gumbo_get_attribute(&element.attributes, name);
  return found ? found->value : nullptr;
}

// The attribute's value; empty when the element has no such attribute.
inline QString attributeText(const GumboElement& element, const char* name) {
  return QString::fromUtf8(attribute(element, name));
}

// The text of a node and its descendants in tree order, without recursion:
// a page may nest deeper than the call stack allows.
inline QString textOf(const GumboNode* node) {
  QByteArray text;
  std::vector<const GumboNode*> pending{node};
  while (!pending.empty()) {
    const GumboNode* current = pending.back();
    pending.pop_back();
    if (current->type == GUMBO_NODE_ELEMENT) {
      const GumboVector& children = current->v.element.children;
      for (unsigned int i = children.length; i-- > 0;)
        pending.push_back(static_cast<const GumboNode*>(children.data[i]));
    } else if (current->type == GUMBO_NODE_TEXT || current->type == GUMBO_NODE_WHITESPACE ||
               current->type == GUMBO_NODE_CDATA) {
      text += current->v.text.text;
    }
  }
  return QString::fromUtf8(text);
}

}  // namespace bw::gumbo
