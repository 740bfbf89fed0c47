#include "platform/pageview/PageOutline.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include "platform/web/BoundedHtml.h"
#include "platform/web/GumboSupport.h"

#include <vector>

namespace bw {
namespace {

using gumbo::tagName;

// Evaluated in the isolated world with one argument: a list of
// [path, node names, attribute name or null, old value, new value].
// All nodes are checked before any is changed, so a document that is not the
// one expected is left alone and the caller loads the page instead.
constexpr char kPatchFunction[] = R"JS((function (c) {
  var r = document.documentElement;
  if (!r || r.nodeName.toLowerCase() !== 'html') return false;
  var nodes = [];
  for (var i = 0; i < c.length; ++i) {
    var n = r, p = c[i][0], m = c[i][1], a = c[i][2];
    for (var j = 0; j < p.length; ++j) {
      n = n.childNodes[p[j]];
      if (!n || n.nodeName.toLowerCase() !== m[j]) return false;
    }
    if ((a === null ? n.data : n.getAttribute(a)) !== c[i][3]) return false;
    nodes.push(n);
  }
  for (var k = 0; k < c.length; ++k) {
    var e = nodes[k], name = c[k][2], v = c[k][4];
    if (name === null) {
      e.data = v;
      var t = e.parentNode;
      if (t && t.nodeName === 'TEXTAREA') t.value = t.defaultValue;
    } else {
      e.setAttribute(name, v);
      // A control someone typed into no longer follows its attribute.
      if (name === 'value' && e.nodeName === 'INPUT') e.value = v;
    }
  }
  return true;
}))JS";

}  // namespace

PageOutline::PageOutline(const QByteArray& html) {
  const BoundedHtml parsed(html);
  if (parsed.refused()) {
    refusal_ = parsed.refusal();
    patchable_ = false;
    return;
  }
  const GumboOutput* output = parsed.output();

  // The doctype decides the rendering mode, so it is part of the shape.
  const GumboDocument& document = output->document->v.document;
  if (document.has_doctype) {
    shape_ += '!';
    shape_ += document.name;
    shape_ += '\x1f';
    shape_ += document.public_identifier;
    shape_ += '\x1f';
    shape_ += document.system_identifier;
  }
  shape_ += static_cast<char>('0' + document.doc_type_quirks_mode);

  // Nodes beside the root element (comments) are never seen; only the
  // root's subtree is compared and patched.
  addTree(output->root);
}

int PageOutline::addLeaf(const GumboInternalNode* node, int parent, int childIndex) {
  const bool comment = node->type == GUMBO_NODE_COMMENT;
  const bool cdata = node->type == GUMBO_NODE_CDATA;
  shape_ += comment ? 'c' : cdata ? 'd' : 't';
  nodes_.push_back({parent, childIndex,
                    comment ? QStringLiteral("#comment")
                    : cdata ? QStringLiteral("#cdata-section")
                            : QStringLiteral("#text")});
  const int index = static_cast<int>(nodes_.size()) - 1;
  values_.push_back({index, QString(), QString::fromUtf8(node->v.text.text)});
  return index;
}

void PageOutline::addTree(const GumboInternalNode* root) {
  // An explicit stack: a page may nest deeper than the call stack allows.
  struct Open {
    const GumboNode* node;
    int index;
    unsigned int next;
  };
  std::vector<Open> open;
  auto enter = [&](const GumboNode* element, int parent, int childIndex) {
    if (element->type == GUMBO_NODE_TEMPLATE) patchable_ = false;
    const GumboElement& e = element->v.element;
    const QString tag = tagName(e);
    nodes_.push_back({parent, childIndex, tag});
    const int index = static_cast<int>(nodes_.size()) - 1;
    shape_ += '<';
    shape_ += static_cast<char>('0' + e.tag_namespace);
    shape_ += tag.toUtf8();
    for (unsigned int i = 0; i < e.attributes.length; ++i) {
      const auto* attribute = static_cast<const GumboAttribute*>(e.attributes.data[i]);
      shape_ += ' ';
      shape_ += attribute->name;
      values_.push_back(
          {index, QString::fromUtf8(attribute->name), QString::fromUtf8(attribute->value)});
    }
    shape_ += '>';
    open.push_back({element, index, 0});
  };

  enter(root, -1, 0);
  while (!open.empty()) {
    Open& top = open.back();
    const GumboVector& children = top.node->v.element.children;
    if (top.next == children.length) {
      shape_ += '/';
      open.pop_back();
      continue;
    }
    const int childIndex = static_cast<int>(top.next++);
    const int parent = top.index;
    const auto* child = static_cast<const GumboNode*>(children.data[childIndex]);
    switch (child->type) {
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE:
        enter(child, parent, childIndex);  // may move `top`; not used after
        break;
      case GUMBO_NODE_DOCUMENT:  // never below the root element
        break;
      default:
        addLeaf(child, parent, childIndex);
        break;
    }
  }
}

void PageOutline::path(int node, QJsonArray& steps, QJsonArray& names) const {
  std::vector<int> chain;
  for (int at = node; nodes_[at].parent != -1; at = nodes_[at].parent) chain.push_back(at);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    steps.append(nodes_[*it].childIndex);
    names.append(nodes_[*it].name);
  }
}

bool PageOutline::sameShape(const PageOutline& other) const {
  return shape_ == other.shape_;
}

std::optional<QString> PageOutline::patchScript(const PageOutline& from, const PageOutline& to) {
  if (!from.patchable_ || !to.patchable_ || !from.sameShape(to)) return std::nullopt;
  QJsonArray changes;
  for (size_t i = 0; i < to.values_.size(); ++i) {
    const Value& old = from.values_[i];
    const Value& value = to.values_[i];
    if (old.text == value.text) continue;
    QJsonArray steps, names;
    to.path(value.node, steps, names);
    changes.append(QJsonArray{
        steps, names,
        value.attribute.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value.attribute),
        old.text, value.text});
  }
  if (changes.isEmpty()) return QString();
  return QLatin1String(kPatchFunction) + QLatin1Char('(') +
         QString::fromUtf8(QJsonDocument(changes).toJson(QJsonDocument::Compact)) +
         QLatin1Char(')');
}

}  // namespace bw
