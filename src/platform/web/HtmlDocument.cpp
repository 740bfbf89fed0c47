#include "platform/web/HtmlDocument.h"

#include "platform/web/BoundedHtml.h"

#include <cstring>
#include <vector>

#include <gumbo.h>

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

bool isElement(const GumboNode* node) {
  return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

bool isHtmlTag(const GumboNode* node, GumboTag tag) {
  return isElement(node) && node->v.element.tag == tag &&
         node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

const char* attribute(const GumboNode* node, const char* name) {
  const GumboAttribute* found = gumbo_get_attribute(&node->v.element.attributes, name);
  return found ? found->value : nullptr;
}

QString attributeOr(const GumboNode* node, const char* name, const QString& fallback) {
  const char* value = attribute(node, name);
  return value ? QString::fromUtf8(value) : fallback;
}

bool isAsciiSpace(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

// Text of all text descendants in tree order; script elements are skipped
// where an option's label is wanted.
void collectText(const GumboNode* node, bool skipScripts, QByteArray& out) {
  std::vector<const GumboNode*> pending{node};
  while (!pending.empty()) {
    const GumboNode* current = pending.back();
    pending.pop_back();
    switch (current->type) {
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA:
        out += current->v.text.text;
        break;
      case GUMBO_NODE_ELEMENT: {
        if (skipScripts && current != node && current->v.element.tag == GUMBO_TAG_SCRIPT) break;
        const GumboVector& children = current->v.element.children;
        for (unsigned i = children.length; i-- > 0;)
          pending.push_back(static_cast<const GumboNode*>(children.data[i]));
        break;
      }
      default:
        break;
    }
  }
}

QString textContent(const GumboNode* node) {
  QByteArray text;
  collectText(node, false, text);
  return QString::fromUtf8(text);
}

QString strippedAndCollapsed(const QString& text) {
  QString out;
  out.reserve(text.size());
  bool pendingSpace = false;
  for (QChar c : text) {
    if (isAsciiSpace(c)) {
      pendingSpace = !out.isEmpty();
      continue;
    }
    if (pendingSpace) out += u' ';
    pendingSpace = false;
    out += c;
  }
  return out;
}

QString withoutNewlines(QString text) {
  text.remove(u'\n');
  text.remove(u'\r');
  return text;
}

QString trimmedAscii(const QString& text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && isAsciiSpace(text[begin])) ++begin;
  while (end > begin && isAsciiSpace(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

// "-1", "2.5", ".5", "1e3": the form a number input keeps; anything else
// (a leading "+", blanks, a trailing ".") makes its value empty.
bool isValidFloatingPointNumber(const QString& text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  auto digits = [&] {
    const qsizetype start = i;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') ++i;
    return i > start;
  };
  if (i < n && text[i] == u'-') ++i;
  const bool whole = digits();
  if (i < n && text[i] == u'.') {
    ++i;
    if (!digits()) return false;
  } else if (!whole) {
    return false;
  }
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) ++i;
    if (!digits()) return false;
  }
  return i == n;
}

QString inputValue(const GumboNode* node) {
  const QString type = attributeOr(node, "type", QString()).toLower();
  const QString raw = attributeOr(node, "value", QString());
  if (type == u"hidden" || type == u"submit" || type == u"image" || type == u"reset" ||
      type == u"button")
    return raw;
  if (type == u"checkbox" || type == u"radio")
    return attribute(node, "value") ? raw : QStringLiteral("on");
  if (type == u"file") return QString();
  if (type == u"number") return isValidFloatingPointNumber(raw) ? raw : QString();
  if (type == u"url" || type == u"email") return trimmedAscii(withoutNewlines(raw));
  return withoutNewlines(raw);  // text and every type without a finer rule here
}

// An integer the way a list item's value attribute is read; 0 when there is none.
QString listItemValue(const GumboNode* node) {
  const QString raw = attributeOr(node, "value", QString());
  qsizetype i = 0;
  while (i < raw.size() && isAsciiSpace(raw[i])) ++i;
  bool negative = false;
  if (i < raw.size() && (raw[i] == u'-' || raw[i] == u'+')) negative = raw[i++] == u'-';
  qint64 number = 0;
  const qsizetype start = i;
  while (i < raw.size() && raw[i] >= u'0' && raw[i] <= u'9') {
    number = number * 10 + (raw[i].unicode() - u'0');
    if (number > 2147483648LL) return QStringLiteral("0");
    ++i;
  }
  if (i == start) return QStringLiteral("0");
  if (negative) number = -number;
  if (number > 2147483647LL) return QStringLiteral("0");
  return QString::number(number);
}

QString optionValue(const GumboNode* option) {
  if (const char* value = attribute(option, "value")) return QString::fromUtf8(value);
  QByteArray text;
  collectText(option, true, text);
  return strippedAndCollapsed(QString::fromUtf8(text));
}

// A select's value: its selected option's, the last one marked selected
// winning unless several may be; with nothing marked, a drop-down list shows
// its first enabled option and a list box shows none.
QString selectValue(const GumboNode* select) {
  struct Option {
    const GumboNode* node;
    bool disabled;
  };
  std::vector<Option> options;
  const GumboVector& children = select->v.element.children;
  for (unsigned i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (isHtmlTag(child, GUMBO_TAG_OPTION)) {
      options.push_back({child, attribute(child, "disabled") != nullptr});
    } else if (isHtmlTag(child, GUMBO_TAG_OPTGROUP)) {
      const bool groupDisabled = attribute(child, "disabled") != nullptr;
      const GumboVector& grouped = child->v.element.children;
      for (unsigned j = 0; j < grouped.length; ++j) {
        const auto* option = static_cast<const GumboNode*>(grouped.data[j]);
        if (isHtmlTag(option, GUMBO_TAG_OPTION))
          options.push_back({option, groupDisabled || attribute(option, "disabled") != nullptr});
      }
    }
  }
  const bool multiple = attribute(select, "multiple") != nullptr;
  const GumboNode* chosen = nullptr;
  for (const Option& option : options) {
    if (attribute(option.node, "selected") == nullptr) continue;
    chosen = option.node;
    if (multiple) break;
  }
  if (!chosen && !multiple) {
    bool listBox = false;
    if (const char* size = attribute(select, "size"))
      listBox = QByteArray(size).trimmed().toInt() > 1;
    if (!listBox) {
      for (const Option& option : options) {
        if (!option.disabled) {
          chosen = option.node;
          break;
        }
      }
    }
  }
  return chosen ? optionValue(chosen) : QString();
}

}  // namespace

QString HtmlElement::tagName() const {
  const GumboElement& element = node_->v.element;
  if (element.tag != GUMBO_TAG_UNKNOWN)
    return QString::fromUtf8(gumbo_normalized_tagname(element.tag));
  GumboStringPiece name = element.original_tag;
  gumbo_tag_from_original_text(&name);
  return QString::fromUtf8(name.data, static_cast<qsizetype>(name.length)).toLower();
}

std::optional<QString> HtmlElement::value() const {
  if (node_->v.element.tag_namespace != GUMBO_NAMESPACE_HTML) return std::nullopt;
  switch (node_->v.element.tag) {
    case GUMBO_TAG_INPUT:
      return inputValue(node_);
    case GUMBO_TAG_TEXTAREA:
      // The parser already drops the newline right after the start tag.
      return textContent(node_);
    case GUMBO_TAG_SELECT:
      return selectValue(node_);
    case GUMBO_TAG_OPTION:
      return optionValue(node_);
    case GUMBO_TAG_OUTPUT:
      return textContent(node_);
    case GUMBO_TAG_LI:
      return listItemValue(node_);
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_DATA:
      return attributeOr(node_, "value", QString());
    default:
      return std::nullopt;
  }
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
    } else if (isElement(node)) {
      const char* value = attribute(node, "id");
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
