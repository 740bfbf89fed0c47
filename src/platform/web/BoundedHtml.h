#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstddef>

struct GumboInternalOutput;

namespace bw {

// An HTML5 parse with a ceiling on its cost. A page comes from outside, and
// the parser's cost grows with the square of the nesting depth: a 1 MiB page
// of nested elements would hold the GUI thread for minutes. The parse is cut
// off when it has used more processor time or memory than any adapter page
// needs (a real one parses in a fraction of a millisecond), and the page then
// counts as refused. All of the tree lives in one arena that is freed at
// once, so no recursive walk ever frees it.
class BoundedHtml {
 public:
  static constexpr std::chrono::microseconds kTimeBudget{5000};  // thread CPU time
  static constexpr std::size_t kMemoryBudget = std::size_t{32} << 20;

  // `utf8` must be UTF-8; the tree points into it, so it is kept.
  explicit BoundedHtml(const QByteArray& utf8, std::chrono::microseconds timeBudget = kTimeBudget,
                       std::size_t memoryBudget = kMemoryBudget);
  ~BoundedHtml();
  BoundedHtml(const BoundedHtml&) = delete;
  BoundedHtml& operator=(const BoundedHtml&) = delete;

  // The parsed tree; nullptr when the page was refused.
  const GumboInternalOutput* output() const { return output_; }
  bool refused() const { return output_ == nullptr; }
  // Why the page was refused, for the user; empty when it was not.
  QString refusal() const { return refusal_; }

 private:
  struct Arena;
  QByteArray source_;
  Arena* arena_;
  GumboInternalOutput* output_ = nullptr;
  QString refusal_;
};

}  // namespace bw
