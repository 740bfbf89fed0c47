#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct GumboInternalNode;
class QJsonArray;

namespace bw {

// A page split into its shape (the element tree with tag and attribute names)
// and the values in it (attribute values, texts, comments), read with an
// HTML5 parser so the tree is the one a browser builds from the same bytes.
// Two pages of the same shape can be turned into one another by rewriting
// values in place, which costs a browser far less than loading a new page.
class PageOutline {
 public:
  explicit PageOutline(const QByteArray& html);

  // False when the page holds parts that the browser keeps outside its node
  // tree (template contents), so node paths cannot be trusted.
  bool patchable() const { return patchable_; }
  // True when the page costs more to parse than a page may (see BoundedHtml);
  // such a page has no outline and is not shown.
  bool refused() const { return !refusal_.isEmpty(); }
  QString refusal() const { return refusal_; }
  bool sameShape(const PageOutline& other) const;
  int valueCount() const { return static_cast<int>(values_.size()); }

  // A script for the browser's isolated world that turns the document shown
  // for `from` into the one for `to`. It first checks that every node it will
  // touch exists with the expected name and old value, and changes nothing
  // and evaluates to false if one does not; otherwise it rewrites the values
  // and evaluates to true. nullopt when the shapes differ or a page is not
  // patchable; an empty string when no value differs.
  static std::optional<QString> patchScript(const PageOutline& from, const PageOutline& to);

 private:
  // Each node knows its parent, so a value's path costs nothing to store and
  // is spelled out only for the values a patch changes.
  struct Node {
    int parent;       // index in nodes_; -1 for the root element
    int childIndex;   // among the parent's children
    QString name;     // lower case ("#text" for text)
  };
  struct Value {
    int node;
    QString attribute;  // empty for a text or comment node's data
    QString text;
  };

  QByteArray shape_;
  std::vector<Node> nodes_;
  std::vector<Value> values_;
  bool patchable_ = true;
  QString refusal_;

  void addTree(const GumboInternalNode* root);
  int addLeaf(const GumboInternalNode* node, int parent, int childIndex);
  void path(int node, QJsonArray& steps, QJsonArray& names) const;
};

}  // namespace bw
