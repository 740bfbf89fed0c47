#pragma once

#include <QString>
#include <functional>

#include "trend/LineSplitter.h"
#include "trend/LogReading.h"

namespace bw {

// Takes apart each line the splitter cuts: a log line in the filter's range
// goes to `take`, one outside it is counted, anything else is a bad line. A
// log line after zero bytes (written just after a hole) is taken, and what
// stood before it is a bad line.
class RecordSink : public LineSplitter::Sink {
 public:
  using Take = std::function<void(const LogRecord&)>;
  using Parse = bool (*)(std::string_view, LogRecord&);

  // `report` gets the counts and the bad lines, numbered as the splitter
  // numbers them. `parse` is parseLogLineTexts where the values are not wanted.
  RecordSink(const QString& file, const StampFilter& filter, Take take, ReadReport& report,
             Parse parse = parseLogLine)
      : file_(file), filter_(filter), take_(std::move(take)), report_(report), parse_(parse) {}

  void line(std::string_view line, std::int64_t number) override;
  void overlong(std::int64_t number, std::int64_t bytes, std::string_view afterZeros) override;

 private:
  void take();

  const QString& file_;
  const StampFilter& filter_;
  Take take_;
  ReadReport& report_;
  Parse parse_;
  LogRecord record_;
};

// The most readings a line in the filter's range holds, at the speed of a
// line count: a log line holds as many commas as readings, so only a line
// with more commas than the widest so far is taken apart. It takes what
// RecordSink takes: a log line after zero bytes too.
class WidestLineSink : public LineSplitter::Sink {
 public:
  explicit WidestLineSink(const StampFilter& filter) : filter_(filter) {}
  void line(std::string_view line, std::int64_t number) override;
  void overlong(std::int64_t number, std::int64_t bytes, std::string_view afterZeros) override;
  int widest = 0;

 private:
  bool widen(std::string_view line);

  const StampFilter& filter_;
  LogRecord record_;
};

// The bad line of the `bytes` bytes before a log line, up to a zero byte.
QString leftOutBefore(std::int64_t bytes);
// The bad line an overlong line of `bytes` bytes makes.
QString overlongReason(std::int64_t bytes);

}  // namespace bw
