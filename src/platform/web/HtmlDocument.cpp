#include "platform/web/HtmlDocument.h"

#include "platform/web/BoundedHtml.h"
#include "platform/web/GumboSupport.h"

#include <cstring>
#include <vector>

namespace bw {

namespace {

bool isValidUtf8(const QByteArray& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  const auto* end = p + bytes.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int more = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      if (c == 0xE0) low = 0xA0;   // no overlong forms
      if (c == 0xED) high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
      return false;
    }
    if (end - p <= more) return false;
    if (p[1] < low || p[1] > high) return false;
    for (int i = 2; i <= more; ++i)
      if ((p[i] & 0xC0) != 0x80) return false;
    p += more + 1;
  }
  return true;
}

// The parser reads UTF-8 only. A page that is not valid UTF-8 is taken as
// Latin-1, the adapter's other likely encoding, so "°" survives either way.
QByteArray asUtf8(const QByteArray& html) {
  static constexpr char kBom[] = "\xEF\xBB\xBF";
  if (html.startsWith(kBom) && isValidUtf8(html)) return html.mid(3);
  if (isValidUtf8(html)) return html;
  return QString::fromLatin1(html).toUtf8();
}

}  // namespace

QString HtmlElement::tagName() const {
  return gumbo::tagName(node_->v.element);
}

std::optional<QString> HtmlElement::value() const {
  const GumboElement& element = node_->v.element;
  if (element.tag_namespace != GUMBO_NAMESPACE_HTML) return std::nullopt;
  if (element.tag == GUMBO_TAG_INPUT) {
    // A one-line field holds no line breaks: they are dropped, as a browser
    // drops them from a text field's value.
    QString value = gumbo::attributeText(element, "value");
    value.remove(u'\r');
    value.remove(u'\n');
    return value;
  }
  // The parser already drops the newline right after the start tag.
  if (element.tag == GUMBO_TAG_TEXTAREA) return gumbo::textOf(node_);
  return std::nullopt;
}

HtmlDocument::HtmlDocument(const QByteArray& html)
    : parsed_(std::make_unique<BoundedHtml>(asUtf8(html))) {}

HtmlDocument::~HtmlDocument() = default;

bool HtmlDocument::refused() const {
  return parsed_->refused();
}

QString HtmlDocument::refusal() const {
  return parsed_->refusal();
}

std::optional<HtmlElement> HtmlDocument::getElementById(const QString& id) const {
  const GumboOutput* output = parsed_->output();
  if (!output || id.isEmpty()) return std::nullopt;
  const QByteArray wanted = id.toUtf8();
  // Depth first in document order, without recursion: a page may nest deeply.
  std::vector<const GumboNode*> pending{output->document};
  while (!pending.empty()) {
    const GumboNode* node = pending.back();
    pending.pop_back();
    const GumboVector* children = nullptr;
    if (node->type == GUMBO_NODE_DOCUMENT) {
      children = &node->v.document.children;
    } else if (gumbo::isElement(node)) {
      const char* value = gumbo::attribute(node->v.element, "id");
      if (value && std::strcmp(value, wanted.constData()) == 0) return HtmlElement(node);
      // A template's content is not part of the document.
      if (node->type == GUMBO_NODE_ELEMENT) children = &node->v.element.children;
    }
    if (!children) continue;
    for (unsigned i = children->length; i-- > 0;)
      pending.push_back(static_cast<const GumboNode*>(children->data[i]));
  }
  return std::nullopt;
}

}  // namespace bw
