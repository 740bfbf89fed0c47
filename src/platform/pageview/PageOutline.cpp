#include "platform/pageview/PageOutline.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include "platform/pageview/GumboSupport.h"

#include <memory>

namespace bw {
namespace {

using gumbo::tagName;
using GumboOutputDeleter = gumbo::OutputDeleter;

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
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;
  std::unique_ptr<GumboOutput, GumboOutputDeleter> output(
      gumbo_parse_with_options(&options, html.constData(), static_cast<size_t>(html.size())));

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
  QVector<int> path;
  QStringList names;
  addNode(output->root, path, names);
}

void PageOutline::addNode(const GumboInternalNode* node, QVector<int>& path, QStringList& names) {
  switch (node->type) {
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_WHITESPACE:
    case GUMBO_NODE_CDATA:
    case GUMBO_NODE_COMMENT: {
      const bool comment = node->type == GUMBO_NODE_COMMENT;
      const bool cdata = node->type == GUMBO_NODE_CDATA;
      shape_ += comment ? 'c' : cdata ? 'd' : 't';
      names.append(comment ? QStringLiteral("#comment")
                   : cdata ? QStringLiteral("#cdata-section")
                           : QStringLiteral("#text"));
      values_.push_back({path, names, QString(), QString::fromUtf8(node->v.text.text)});
      names.removeLast();
      return;
    }
    case GUMBO_NODE_TEMPLATE:
      patchable_ = false;
      break;
    case GUMBO_NODE_DOCUMENT:  // never below the root element
      return;
    case GUMBO_NODE_ELEMENT:
      break;
  }

  const GumboElement& element = node->v.element;
  const QString tag = tagName(element);
  shape_ += '<';
  shape_ += static_cast<char>('0' + element.tag_namespace);
  shape_ += tag.toUtf8();
  for (unsigned int i = 0; i < element.attributes.length; ++i) {
    const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
    shape_ += ' ';
    shape_ += attribute->name;
    values_.push_back(
        {path, names, QString::fromUtf8(attribute->name), QString::fromUtf8(attribute->value)});
  }
  shape_ += '>';
  for (unsigned int i = 0; i < element.children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(element.children.data[i]);
    path.append(static_cast<int>(i));
    if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE) {
      names.append(tagName(child->v.element));
      addNode(child, path, names);
      names.removeLast();
    } else {
      addNode(child, path, names);
    }
    path.removeLast();
  }
  shape_ += '/';
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
    QJsonArray path;
    for (int step : value.path) path.append(step);
    changes.append(QJsonArray{
        path, QJsonArray::fromStringList(value.names),
        value.attribute.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value.attribute),
        old.text, value.text});
  }
  if (changes.isEmpty()) return QString();
  return QLatin1String(kPatchFunction) + QLatin1Char('(') +
         QString::fromUtf8(QJsonDocument(changes).toJson(QJsonDocument::Compact)) +
         QLatin1Char(')');
}

}  // namespace bw
