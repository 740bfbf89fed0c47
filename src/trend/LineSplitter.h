#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "logformat/LogRecord.h"

namespace bw {

// Cuts a byte stream into lines as it arrives in pieces. A line without its
// line end yet is held until the rest comes; a line longer than
// kMaxLineBytes is reported as overlong and not kept, however long it runs.
class LineSplitter {
 public:
  // Overlong lines one after the other over this many bytes (a file of
  // zeros, a device image): the stream is no log, and reading it on would
  // only burn time.
  static constexpr std::size_t kMostOverlongBytes = 256 * kMaxLineBytes;

  class Sink {
   public:
    virtual ~Sink() = default;
    // `line` has its LF (and a CR before it) taken off; numbers start at 1.
    virtual void line(std::string_view line, std::int64_t number) = 0;
    virtual void overlong(std::int64_t number) = 0;
  };

  explicit LineSplitter(std::int64_t firstLineNumber = 1) : number_(firstLineNumber) {}

  void feed(const char* data, std::size_t size, Sink& sink);

  // Bytes of a last line that has no line end yet.
  std::size_t heldBytes() const { return skipping_ ? skipped_ : held_.size(); }
  bool holding() const { return skipping_ || !held_.empty(); }
  std::int64_t nextLineNumber() const { return number_; }
  // True once overlong lines have run on past kMostOverlongBytes with no line
  // of a log's length between them.
  bool endless() const { return overlongRun_ > kMostOverlongBytes; }
  // Bytes of the overlong lines one after the other up to here, the line
  // being skipped included, and whether a line of a log's length came
  // since the start: until one does, a run from before the start goes on.
  std::size_t overlongRun() const { return overlongRun_; }
  bool sawShortLine() const { return sawShortLine_; }

 private:
  void complete(std::string_view line, Sink& sink);

  std::string held_;
  bool skipping_ = false;
  std::size_t skipped_ = 0;
  std::size_t overlongRun_ = 0;
  bool sawShortLine_ = false;
  std::int64_t number_;
};

}  // namespace bw
