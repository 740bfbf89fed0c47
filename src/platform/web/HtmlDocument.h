#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

struct GumboInternalNode;

namespace bw {

// An element of a parsed page; valid while its document lives.
class HtmlElement {
 public:
  explicit HtmlElement(const GumboInternalNode* node) : node_(node) {}
  QString tagName() const;  // lower case, as the parser normalises it
  // An input's `value` attribute without line breaks (empty without one)
  // or a textarea's text; nullopt for every other element.
  std::optional<QString> value() const;

 private:
  const GumboInternalNode* node_;
};

class BoundedHtml;

// A page parsed with an HTML5 parser, so sloppy adapter markup (upper-case
// tags, unquoted attributes) reads as a browser would read it. A page that
// costs more to parse than BoundedHtml allows is refused: it has no elements.
class HtmlDocument {
 public:
  explicit HtmlDocument(const QByteArray& html);
  ~HtmlDocument();
  HtmlDocument(const HtmlDocument&) = delete;
  HtmlDocument& operator=(const HtmlDocument&) = delete;

  // First element in document order whose id equals `id` exactly.
  std::optional<HtmlElement> getElementById(const QString& id) const;

  bool refused() const;
  // Why the page was refused; empty when it was read.
  QString refusal() const;

 private:
  std::unique_ptr<BoundedHtml> parsed_;
};

}  // namespace bw
