#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <vector>

#include "logformat/LogRecord.h"
#include "trend/LineColumns.h"

namespace bw {

// A gap longer than this between two lines is not bridged by the line: the
// logger was not running.
inline constexpr std::chrono::seconds kLongestJoinedGap{600};

// Lines summed up per block, so that a year is drawn and summed from blocks
// rather than from every line.
inline constexpr std::size_t kBlockLines = 64;

// What a full block of one sensor holds: ordinary readings summed up apart from
// the flagged ones, which are only counted, so either view of them is
// answered from the block.
struct ReadingBlock {
  float min = std::numeric_limits<float>::infinity();
  float max = -std::numeric_limits<float>::infinity();
  double sum = 0.0;
  std::uint16_t count = 0;
  std::uint16_t minusOne = 0;
  std::uint16_t minusTwo = 0;
  std::uint16_t eightyFive = 0;
};

// Every line read, as numbers: the stamp and one column per sensor, NaN
// where a line holds fewer readings. Lines stay in file order; a piece is a
// run of lines that the chart joins: it ends where a new file starts, where
// the clock goes back and after a long gap. Within a piece stamps never
// decrease, so a time range is found by binary search in each piece.
class TrendSeries {
 public:
  struct Piece {
    std::size_t begin;
    std::size_t end;
  };

  void append(const LogRecord& record);
  // The same for each line, in order.
  void append(const LineColumns& lines);
  // The next line starts a new piece whatever its stamp.
  void breakLine() { breakNext_ = true; }
  void clear();
  void reserve(std::size_t lines);

  std::size_t size() const { return stamps_.size(); }
  int sensorCount() const { return static_cast<int>(values_.size()); }
  const std::vector<StampSeconds>& stamps() const { return stamps_; }
  const ReadingColumn& values(int sensor) const {
    return values_[static_cast<std::size_t>(sensor)];
  }
  // The full blocks; the lines after the last full one have none yet.
  const std::vector<ReadingBlock>& blocks(int sensor) const {
    return blocks_[static_cast<std::size_t>(sensor)];
  }
  const std::vector<Piece>& pieces() const { return pieces_; }
  StampSeconds first() const;
  StampSeconds last() const;
  // Where the clock went back within a file: the first line after it.
  const std::vector<std::size_t>& setBacks() const { return setBacks_; }
  // The line nearest in time to `t`; size() when there is none.
  std::size_t nearest(double t) const;

  // Lines of [begin, end) of `piece` whose stamps lie in [from, to].
  Piece span(const Piece& piece, StampSeconds from, StampSeconds to) const;

  // Memory held for the lines, counted from capacities.
  std::size_t bytesHeld() const;

 private:
  void addSensor();
  // Puts the line at `index`, its stamp stored, into a piece.
  void placeLine(std::size_t index);
  void sumUpFullBlocks();

  std::vector<StampSeconds> stamps_;
  std::vector<ReadingColumn> values_;
  std::vector<std::vector<ReadingBlock>> blocks_;
  std::vector<Piece> pieces_;
  std::vector<std::size_t> setBacks_;
  std::size_t reserved_ = 0;
  bool breakNext_ = true;
};

// Where the dashed marks of the set-backs go in the view [from, to]: the
// last stamp before each set-back in it, every one when there are no more
// than `most`; else the view is cut into `most` equal stretches and the
// earliest mark of each stretch that holds one is kept, so the marks thin out
// evenly along the axis instead of stopping partway. In time order.
std::vector<StampSeconds> setBackMarks(const TrendSeries& series, double from, double to, int most);

}  // namespace bw
