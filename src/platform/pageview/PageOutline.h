#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>
#include <vector>

struct GumboInternalNode;

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
  struct Value {
    QVector<int> path;  // child indices from the root element down
    QStringList names;  // node name at each step, lower case ("#text" for text)
    QString attribute;  // empty for a text or comment node's data
    QString text;
  };

  QByteArray shape_;
  std::vector<Value> values_;
  bool patchable_ = true;

  void addNode(const GumboInternalNode* node, QVector<int>& path, QStringList& names);
};

}  // namespace bw
