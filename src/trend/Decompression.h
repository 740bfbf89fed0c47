#pragma once

#include <QString>
#include <cstdint>
#include <memory>

namespace bw {

class LogInput;

// How a log file is stored: as it was written, or compressed by a rotation
// (gzip, xz, zstd). Told by the file's first bytes, never by its name.
enum class Compression { kNone, kGzip, kXz, kZstd };

// The bytes a file must start with to tell its compression.
inline constexpr std::int64_t kMagicBytes = 6;
Compression compressionOf(const char* start, std::int64_t size);
const char* compressionName(Compression kind);

// The content of a compressed log, read from its start a piece at a time:
// never more than a piece of it is held, whatever its size. A stream that
// ends before its end mark (a rotation interrupted, the file cut) or that
// is corrupt is read up to there and then says why it stopped.
class Decompressor {
 public:
  Decompressor(const LogInput& input, Compression kind);
  ~Decompressor();
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  // Up to `max` bytes of content into `out`: the count, 0 once the content
  // ends (stopReason() says whether it ended whole), -1 when the file could
  // not be read (error() says why).
  std::int64_t read(char* out, std::int64_t max);
  // Whether the content has ended, whole or not, or could not be read.
  bool finished() const { return done_; }
  // Bytes of the file read so far.
  std::int64_t consumed() const { return consumed_; }
  // Empty when the content ended whole, else why it stopped early.
  const QString& stopReason() const { return stop_; }
  const QString& error() const { return error_; }

  class Engine;

 private:
  bool refill();

  const LogInput& input_;
  const Compression kind_;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<char[]> in_;
  std::int64_t inBytes_ = 0;  // of in_, not yet taken by the engine
  std::int64_t inTaken_ = 0;
  std::int64_t consumed_ = 0;
  bool fileEnded_ = false;
  bool done_ = false;
  QString stop_;
  QString error_;
};

// The first `max` bytes of a log's content, decompressed where it is
// compressed (holes at the start of a plain file passed over); empty when
// it cannot be read.
QByteArray contentStart(const QString& path, std::int64_t max);

}  // namespace bw
