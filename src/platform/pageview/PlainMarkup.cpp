#include "platform/pageview/PlainMarkup.h"

#include "platform/web/BoundedHtml.h"
#include "platform/web/GumboSupport.h"

#include <vector>

namespace bw {
namespace {

using gumbo::attributeText;
using gumbo::tagName;
using gumbo::textOf;

bool hasAttribute(const GumboElement& element, const char* name) {
  return gumbo::attribute(element, name) != nullptr;
}

bool droppedAttribute(const char* name) {
  const QLatin1String n(name);
  if (n.startsWith(QLatin1String("on"))) return true;  // event handlers
  static const char* const kUrlAttributes[] = {
      "href", "src",      "srcset", "background", "action", "formaction", "data",    "poster",
      "cite", "longdesc", "usemap", "lowsrc",     "dynsrc", "ping",       "manifest"};
  for (const char* url : kUrlAttributes)
    if (n == QLatin1String(url)) return true;
  return false;
}

// Walks the tree with its own stack (a page may nest deeper than the call
// stack allows) and writes tags only for the outer kMaxDepth levels: deeper
// content keeps its text but not its nesting, which the text view's layout
// could not take either.
class Writer {
 public:
  static constexpr int kMaxDepth = 64;
  QString out;

  void write(const GumboNode* root) {
    node(root);
    while (!stack_.empty()) {
      Frame& frame = stack_.back();
      const GumboVector& children = frame.node->v.element.children;
      if (frame.next < children.length) {
        node(static_cast<const GumboNode*>(children.data[frame.next++]));
        continue;
      }
      out += frame.closing;
      if (frame.tagged) --depth_;
      stack_.pop_back();
    }
  }

 private:
  struct Frame {
    const GumboNode* node;
    unsigned int next;
    QString closing;
    bool tagged;
  };
  std::vector<Frame> stack_;
  int depth_ = 0;

  void children(const GumboNode* node, QString closing = QString(), bool tagged = false) {
    if (tagged) ++depth_;
    stack_.push_back({node, 0, std::move(closing), tagged});
  }

  void node(const GumboNode* node) {
    switch (node->type) {
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA:
        out += QString::fromUtf8(node->v.text.text).toHtmlEscaped();
        return;
      case GUMBO_NODE_COMMENT:
      case GUMBO_NODE_TEMPLATE:
      case GUMBO_NODE_DOCUMENT:
        return;
      case GUMBO_NODE_ELEMENT:
        element(node);
        return;
    }
  }

  void control(const QString& shown) {
    out += QStringLiteral("<span style=\"font-family: monospace\">[");
    out += shown.toHtmlEscaped();
    out += QStringLiteral("]</span>");
  }

  void input(const GumboElement& element) {
    const QString type = attributeText(element, "type").trimmed().toLower();
    const QString value = attributeText(element, "value");
    if (type == QLatin1String("hidden")) return;
    if (type == QLatin1String("checkbox") || type == QLatin1String("radio")) {
      control(hasAttribute(element, "checked") ? QStringLiteral("x") : QStringLiteral(" "));
    } else if (type == QLatin1String("password")) {
      control(QString(value.size(), QChar(0x2022)));
    } else if (type == QLatin1String("submit") || type == QLatin1String("reset")) {
      const QString label = hasAttribute(element, "value")    ? value
                            : type == QLatin1String("submit") ? QStringLiteral("Submit")
                                                              : QStringLiteral("Reset");
      control(QLatin1Char(' ') + label + QLatin1Char(' '));
    } else if (type == QLatin1String("button") || type == QLatin1String("image")) {
      const QString label = value.isEmpty() ? attributeText(element, "alt") : value;
      control(QLatin1Char(' ') + label + QLatin1Char(' '));
    } else {
      control(value);
    }
  }

  void select(const GumboElement& element) {
    const GumboNode* chosen = nullptr;
    const GumboNode* first = nullptr;
    std::vector<const GumboElement*> stack{&element};
    while (!stack.empty() && !chosen) {
      const GumboElement* parent = stack.back();
      stack.pop_back();
      for (unsigned int i = 0; i < parent->children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(parent->children.data[i]);
        if (child->type != GUMBO_NODE_ELEMENT) continue;
        if (child->v.element.tag == GUMBO_TAG_OPTION) {
          if (!first) first = child;
          if (hasAttribute(child->v.element, "selected")) {
            chosen = child;
            break;
          }
        } else if (child->v.element.tag == GUMBO_TAG_OPTGROUP) {
          stack.push_back(&child->v.element);
        }
      }
    }
    if (!chosen) chosen = first;
    control(chosen ? textOf(chosen).simplified() : QString());
  }

  void element(const GumboNode* node) {
    const GumboElement& element = node->v.element;
    switch (element.tag) {
      case GUMBO_TAG_INPUT:
        input(element);
        return;
      case GUMBO_TAG_TEXTAREA:
        control(textOf(node));
        return;
      case GUMBO_TAG_SELECT:
        select(element);
        return;
      case GUMBO_TAG_BUTTON:
        out += QStringLiteral("<span style=\"font-family: monospace\">[ </span>");
        children(node, QStringLiteral("<span style=\"font-family: monospace\"> ]</span>"));
        return;
      case GUMBO_TAG_IMG: {
        const QString alt = attributeText(element, "alt");
        out += alt.toHtmlEscaped();
        return;
      }
      case GUMBO_TAG_A:         // links are off: their text stays, the link goes
      case GUMBO_TAG_NOSCRIPT:  // scripts are off, so its content is what shows
      case GUMBO_TAG_FORM:
      case GUMBO_TAG_LABEL:
        children(node);
        return;
      case GUMBO_TAG_SCRIPT:
      case GUMBO_TAG_STYLE:
      case GUMBO_TAG_LINK:
      case GUMBO_TAG_META:
      case GUMBO_TAG_BASE:
      case GUMBO_TAG_IFRAME:
      case GUMBO_TAG_FRAME:
      case GUMBO_TAG_FRAMESET:
      case GUMBO_TAG_OBJECT:
      case GUMBO_TAG_EMBED:
      case GUMBO_TAG_APPLET:
      case GUMBO_TAG_PARAM:
      case GUMBO_TAG_AUDIO:
      case GUMBO_TAG_VIDEO:
      case GUMBO_TAG_SOURCE:
      case GUMBO_TAG_TRACK:
      case GUMBO_TAG_CANVAS:
      case GUMBO_TAG_SVG:
      case GUMBO_TAG_MATH:
      case GUMBO_TAG_MAP:
        return;
      default:
        break;
    }
    if (element.tag_namespace != GUMBO_NAMESPACE_HTML) return;
    if (depth_ >= kMaxDepth) {
      children(node);
      return;
    }

    const QString tag = tagName(element);
    out += QLatin1Char('<') + tag;
    for (unsigned int i = 0; i < element.attributes.length; ++i) {
      const auto* a = static_cast<const GumboAttribute*>(element.attributes.data[i]);
      if (droppedAttribute(a->name)) continue;
      out += QLatin1Char(' ') + QString::fromUtf8(a->name) + QStringLiteral("=\"") +
             QString::fromUtf8(a->value).toHtmlEscaped() + QLatin1Char('"');
    }
    out += QLatin1Char('>');
    switch (element.tag) {
      case GUMBO_TAG_BR:
      case GUMBO_TAG_HR:
      case GUMBO_TAG_COL:
      case GUMBO_TAG_WBR:
      case GUMBO_TAG_AREA:
        return;  // void elements have no content and no end tag
      default:
        break;
    }
    children(node, QStringLiteral("</") + tag + QLatin1Char('>'), true);
  }
};

}  // namespace

QString plainMarkup(const QByteArray& html, QString* refusal) {
  const BoundedHtml parsed(html);
  if (parsed.refused()) {
    if (refusal) *refusal = parsed.refusal();
    return QString();
  }
  Writer writer;
  writer.write(parsed.output()->root);
  return writer.out;
}

}  // namespace bw
