#pragma once

#include <QString>
#include <functional>

#include "trend/LineSplitter.h"
#include "trend/LogReading.h"

namespace bw {

// Takes apart each line the splitter cuts: a log line in the filter's range
// goes to `take`, one outside it is counted, anything else is a bad line.
class RecordSink : public LineSplitter::Sink {
 public:
  using Take = std::function<void(const LogRecord&)>;

  // `report` gets the counts and the bad lines, numbered as the splitter
  // numbers them.
  RecordSink(const QString& file, const StampFilter& filter, Take take, ReadReport& report)
      : file_(file), filter_(filter), take_(std::move(take)), report_(report) {}

  void line(std::string_view line, std::int64_t number) override;
  void overlong(std::int64_t number) override;

 private:
  const QString& file_;
  const StampFilter& filter_;
  Take take_;
  ReadReport& report_;
  LogRecord record_;
};

}  // namespace bw
