#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "logformat/LogRecord.h"

namespace bw {

// Cuts a byte stream into lines as it arrives in pieces. A line without its
// line end yet is held until the rest comes; a line longer than
// kMaxLineBytes is one overlong line, not kept, however long it runs (a
// hundred megabytes without a line end, a hole of zeros), and the lines
// after it are cut as ever. Zero bytes are no part of a log line: what
// follows the last zero byte of an overlong line is handed on with it, so
// that a log line written just after a hole (a writer that went on at its
// offset after the file was truncated under it) is not lost with the hole.
class LineSplitter {
 public:
  class Sink {
   public:
    virtual ~Sink() = default;
    // `line` has its LF (and a CR before it) taken off; numbers start at 1.
    virtual void line(std::string_view line, std::int64_t number) = 0;
    // A line of `bytes` bytes, too long to be a log line; `afterZeros` is
    // what follows its last zero byte (its CR taken off) when that is short
    // enough to be one, else empty.
    virtual void overlong(std::int64_t number, std::int64_t bytes, std::string_view afterZeros) = 0;
  };

  explicit LineSplitter(std::int64_t firstLineNumber = 1) : number_(firstLineNumber) {}

  void feed(const char* data, std::size_t size, Sink& sink);
  // The same as feeding `size` zero bytes, without them: a hole in a file.
  void feedZeros(std::int64_t size);

  // Bytes of a last line that has no line end yet.
  std::int64_t heldBytes() const {
    return skipping_ ? skipped_ : static_cast<std::int64_t>(held_.size());
  }
  bool holding() const { return skipping_ || !held_.empty(); }
  std::int64_t nextLineNumber() const { return number_; }

 private:
  // The part of a line as long as a log line and a CR that follows its last
  // zero byte.
  static constexpr std::size_t kMostKept = kMaxLineBytes + 1;

  void complete(std::string_view line, Sink& sink);
  void startSkipping(const char* data, std::size_t size);
  void skip(const char* data, std::size_t size);
  void endSkipped(Sink& sink);

  std::string held_;  // the line so far, while it is short enough to be a log line
  bool skipping_ = false;
  std::int64_t skipped_ = 0;  // bytes of the overlong line so far
  std::string afterZeros_;    // of the overlong line, when afterZerosKept_
  bool afterZerosKept_ = false;
  char lastByte_ = 0;  // of the overlong line so far
  std::int64_t number_;
};

// What follows the last zero byte of `line`, or all of it when it holds none.
std::string_view afterLastZero(std::string_view line);

}  // namespace bw
