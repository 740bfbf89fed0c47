#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "logformat/LogRecord.h"

namespace bw {

// One sensor's readings in line order, each given back as the very float
// it was given. A DS18B20 reads in sixteenths of a degree, its marks -1, -2
// and 85 among them: a column of such readings (and NaN, for none) is held
// in two bytes a reading instead of four, which nearly halves what a year
// of twelve sensors holds. A column that meets any other value is held as
// floats from then on.
class ReadingColumn {
 public:
  class Iterator {
   public:
    Iterator(const ReadingColumn& column, std::size_t at) : column_(&column), at_(at) {}
    float operator*() const { return (*column_)[at_]; }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return at_ != other.at_; }

   private:
    const ReadingColumn* column_;
    std::size_t at_;
  };

  float operator[](std::size_t i) const {
    if (wide_) return floats_[i];
    const std::int16_t code = codes_[i];
    return code == kNone ? std::numeric_limits<float>::quiet_NaN()
                         : static_cast<float>(code) * (1.0f / 16.0f);
  }
  std::size_t size() const { return wide_ ? floats_.size() : codes_.size(); }
  Iterator begin() const { return {*this, 0}; }
  Iterator end() const { return {*this, size()}; }
  bool compact() const { return !wide_; }
  // While compact, each reading's sixteenths, kNone where there is none.
  const std::int16_t* sixteenths() const { return wide_ ? nullptr : codes_.data(); }
  static constexpr std::int16_t kNone = std::numeric_limits<std::int16_t>::min();

  void push_back(float value) {
    if (!wide_) {
      const std::int16_t code = codeOf(value);
      if (code != kWide) {
        codes_.push_back(code);
        return;
      }
      widen();
    }
    floats_.push_back(value);
  }
  void append(const ReadingColumn& other);
  // To `count` readings, NaN for those added.
  void resize(std::size_t count);
  // Empty and compact again, its memory kept.
  void clear();
  void reserve(std::size_t count);
  // Readings [from, from + count) into `out`.
  void copy(std::size_t from, std::size_t count, float* out) const;
  std::size_t bytesHeld() const;

 private:
  static constexpr std::int16_t kWide = kNone + 1;  // held as a float
  static constexpr std::uint32_t kNoneBits = 0x7fc00000u;
  // The reading's code: kNone for the quiet NaN of no reading, its
  // sixteenths when they give back its very bits (-0 does not, nor any
  // other NaN), else kWide.
  static std::int16_t codeOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (bits == kNoneBits) return kNone;
    const float scaled = value * 16.0f;
    if (!(scaled > -32767.0f && scaled < 32767.0f)) return kWide;
    const auto code = static_cast<std::int16_t>(scaled);
    const float back = static_cast<float>(code) * (1.0f / 16.0f);
    std::uint32_t backBits;
    std::memcpy(&backBits, &back, sizeof backBits);
    return backBits == bits ? code : kWide;
  }
  void widen();

  std::vector<std::int16_t> codes_;  // sixteenths or kNone, while !wide_
  std::vector<float> floats_;        // once wide_
  bool wide_ = false;
};

// Log lines as the series keeps them: the stamps, and a column of readings
// per sensor, NaN where a line holds fewer readings. The reading hands
// lines over in these, a chunk of a file at a time; cleared, it keeps its
// memory for the next chunk.
class LineColumns {
 public:
  void add(const LogRecord& record);
  void clear();
  // Keeps the first `lines` lines only.
  void truncate(std::size_t lines);

  std::size_t size() const { return stamps_.size(); }
  int sensorCount() const { return sensors_; }
  const std::vector<StampSeconds>& stamps() const { return stamps_; }
  const ReadingColumn& values(int sensor) const {
    return values_[static_cast<std::size_t>(sensor)];
  }

 private:
  std::vector<StampSeconds> stamps_;
  std::vector<ReadingColumn> values_;  // the first sensors_ are in use
  int sensors_ = 0;
};

}  // namespace bw
