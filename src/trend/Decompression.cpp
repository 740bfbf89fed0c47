#include "trend/Decompression.h"

#include <isa-l/igzip_lib.h>
#include <lzma.h>
#include <zstd.h>
#include <QByteArray>
#include <cstdint>
#include <cstring>
#include <string>

#include "trend/LogInput.h"

namespace bw {

namespace {

// Compressed bytes read from the file at a time.
constexpr std::int64_t kInBytes = 256 << 10;
// What a stream may ask for its window or dictionary: more than any rotation
// uses, and no more, so a hostile file cannot take the machine's memory.
constexpr std::uint64_t kMostDecoderMemory = 256ull << 20;
constexpr int kMostZstdWindowLog = 27;  // 128 MiB
constexpr std::size_t kZstdInPerCall = 2048;

}  // namespace

Compression compressionOf(const char* start, std::int64_t size) {
  const auto* b = reinterpret_cast<const unsigned char*>(start);
  if (size >= 2 && b[0] == 0x1f && b[1] == 0x8b) return Compression::kGzip;
  if (size >= 6 && std::memcmp(b,
                               "\xfd"
                               "7zXZ\0",
                               6) == 0)
    return Compression::kXz;
  if (size >= 4 && b[0] == 0x28 && b[1] == 0xb5 && b[2] == 0x2f && b[3] == 0xfd)
    return Compression::kZstd;
  return Compression::kNone;
}

const char* compressionName(Compression kind) {
  switch (kind) {
    case Compression::kGzip:
      return "gzip";
    case Compression::kXz:
      return "xz";
    case Compression::kZstd:
      return "zstd";
    case Compression::kNone:
      break;
  }
  return "none";
}

// One kind of compressed stream: takes input, gives content.
class Decompressor::Engine {
 public:
  enum class Result { kGoOn, kEnd, kCorrupt };
  virtual ~Engine() = default;
  // Moves `in` and `out` on by what it took and gave; `finish` when no
  // input follows what is given.
  virtual Result run(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft,
                     bool finish) = 0;
  std::string why;  // of kCorrupt
};

namespace {

// Inflated by the vectorised decoder: about three times zlib's speed, which
// keeps a compressed year's reading near that of the plain one. Its state is
// of fixed size, whatever the stream asks.
class GzipEngine : public Decompressor::Engine {
 public:
  GzipEngine() { startMember(); }
  Result run(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft,
             bool finish) override {
    if (memberEnded_) {
      // Several members, as concatenated files are, read as one; anything
      // else after the last (zeros a copy pads with) ends the content.
      if (inLeft == 0) return finish ? Result::kEnd : Result::kGoOn;
      if (inLeft < 2 || static_cast<unsigned char>(in[0]) != 0x1f ||
          static_cast<unsigned char>(in[1]) != 0x8b)
        return Result::kEnd;
      startMember();
    }
    s_.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(in));
    s_.avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(inLeft, 1u << 30));
    s_.next_out = reinterpret_cast<std::uint8_t*>(out);
    s_.avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(outLeft, 1u << 30));
    const std::uint32_t inBefore = s_.avail_in;
    const std::uint32_t outBefore = s_.avail_out;
    const int r = isal_inflate(&s_);
    in += inBefore - s_.avail_in;
    inLeft -= inBefore - s_.avail_in;
    out += outBefore - s_.avail_out;
    outLeft -= outBefore - s_.avail_out;
    switch (r) {
      case ISAL_DECOMP_OK:
        break;
      case ISAL_INCORRECT_CHECKSUM:
        return fail("incorrect data check");
      case ISAL_INVALID_WRAPPER:
      case ISAL_UNSUPPORTED_METHOD:
        return fail("incorrect header");
      case ISAL_INVALID_LOOKBACK:
        return fail("invalid distance too far back");
      default:
        return fail("corrupt data");
    }
    if (s_.block_state == ISAL_BLOCK_FINISH) {
      memberEnded_ = true;
      return inLeft == 0 && finish ? Result::kEnd : Result::kGoOn;
    }
    return Result::kGoOn;
  }

 private:
  void startMember() {
    isal_inflate_init(&s_);
    s_.crc_flag = ISAL_GZIP;  // the header read, the check and length verified
    memberEnded_ = false;
  }
  Result fail(const char* reason) {
    why = reason;
    return Result::kCorrupt;
  }
  inflate_state s_{};
  bool memberEnded_ = false;
};

class XzEngine : public Decompressor::Engine {
 public:
  XzEngine() { ok_ = lzma_stream_decoder(&s_, kMostDecoderMemory, LZMA_CONCATENATED) == LZMA_OK; }
  ~XzEngine() override { lzma_end(&s_); }
  Result run(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft,
             bool finish) override {
    if (!ok_) {
      why = "the decoder could not be started";
      return Result::kCorrupt;
    }
    s_.next_in = reinterpret_cast<const uint8_t*>(in);
    s_.avail_in = inLeft;
    s_.next_out = reinterpret_cast<uint8_t*>(out);
    s_.avail_out = outLeft;
    const lzma_ret r = lzma_code(&s_, finish ? LZMA_FINISH : LZMA_RUN);
    in += inLeft - s_.avail_in;
    inLeft = s_.avail_in;
    out += outLeft - s_.avail_out;
    outLeft = s_.avail_out;
    switch (r) {
      case LZMA_OK:
        return Result::kGoOn;
      case LZMA_STREAM_END:
        return Result::kEnd;
      case LZMA_BUF_ERROR:
        return Result::kGoOn;  // no progress: at the end of the file, cut short
      case LZMA_MEMLIMIT_ERROR:
      case LZMA_MEM_ERROR:
        why = "it needs more memory to decompress than a log may (256 MiB)";
        return Result::kCorrupt;
      case LZMA_FORMAT_ERROR:
      case LZMA_OPTIONS_ERROR:
        why = "unsupported compressed data";
        return Result::kCorrupt;
      default:
        why = "corrupt data";
        return Result::kCorrupt;
    }
  }

 private:
  lzma_stream s_ = LZMA_STREAM_INIT;
  bool ok_ = false;
};

class ZstdEngine : public Decompressor::Engine {
 public:
  ZstdEngine() : d_(ZSTD_createDStream()) {
    if (d_) ZSTD_DCtx_setParameter(d_, ZSTD_d_windowLogMax, kMostZstdWindowLog);
  }
  ~ZstdEngine() override { ZSTD_freeDStream(d_); }
  Result run(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft,
             bool finish) override {
    if (!d_) {
      why = "the decoder could not be started";
      return Result::kCorrupt;
    }
    // A call that meets damage gives nothing of what it decoded before it:
    // a little input and a block's room at a time keep what stood before.
    ZSTD_inBuffer input{in, std::min<std::size_t>(inLeft, kZstdInPerCall), 0};
    ZSTD_outBuffer output{out, std::min<std::size_t>(outLeft, ZSTD_BLOCKSIZE_MAX), 0};
    const std::size_t r = ZSTD_decompressStream(d_, &output, &input);
    in += input.pos;
    inLeft -= input.pos;
    out += output.pos;
    outLeft -= output.pos;
    if (ZSTD_isError(r)) {
      why = ZSTD_getErrorName(r);
      return Result::kCorrupt;
    }
    // 0: a frame is whole; another may follow.
    if (r == 0 && inLeft == 0 && finish) return Result::kEnd;
    return Result::kGoOn;
  }

 private:
  ZSTD_DStream* d_;
};

}  // namespace

Decompressor::Decompressor(const LogInput& input, Compression kind)
    : input_(input), kind_(kind), in_(new char[static_cast<std::size_t>(kInBytes)]) {
  switch (kind) {
    case Compression::kGzip:
      engine_ = std::make_unique<GzipEngine>();
      break;
    case Compression::kXz:
      engine_ = std::make_unique<XzEngine>();
      break;
    case Compression::kZstd:
      engine_ = std::make_unique<ZstdEngine>();
      break;
    case Compression::kNone:
      break;
  }
}

Decompressor::~Decompressor() = default;

bool Decompressor::refill() {
  // What the engine has not taken yet stays in front of what is read.
  const std::int64_t kept = inBytes_ - inTaken_;
  std::memmove(in_.get(), in_.get() + inTaken_, static_cast<std::size_t>(kept));
  inBytes_ = kept;
  inTaken_ = 0;
  const std::int64_t left = input_.size() - consumed_;
  if (left <= 0) {
    fileEnded_ = true;
    return true;
  }
  const std::int64_t got =
      input_.readAt(consumed_, in_.get() + kept, std::min(kInBytes - kept, left), error_);
  if (got < 0) return false;
  if (got == 0) fileEnded_ = true;  // shorter now than when opened
  inBytes_ += got;
  consumed_ += got;
  if (consumed_ >= input_.size()) fileEnded_ = true;
  return true;
}

std::int64_t Decompressor::read(char* out, std::int64_t max) {
  if (!engine_) {
    done_ = true;
    error_ = QStringLiteral("%1: not compressed").arg(input_.path());
    return -1;
  }
  std::int64_t produced = 0;
  while (!done_ && produced < max) {
    // A gzip member's two-byte mark may stand across a read: the engine
    // gets two bytes at least while the file has more.
    if (inBytes_ - inTaken_ < 2 && !fileEnded_ && !refill()) {
      done_ = true;
      return -1;
    }
    const char* in = in_.get() + inTaken_;
    std::size_t inLeft = static_cast<std::size_t>(inBytes_ - inTaken_);
    char* o = out + produced;
    std::size_t outLeft = static_cast<std::size_t>(max - produced);
    const std::size_t inBefore = inLeft;
    const std::size_t outBefore = outLeft;
    const bool finish = fileEnded_;
    const Engine::Result r = engine_->run(in, inLeft, o, outLeft, finish);
    inTaken_ += static_cast<std::int64_t>(inBefore - inLeft);
    produced += static_cast<std::int64_t>(outBefore - outLeft);
    const bool moved = inLeft != inBefore || outLeft != outBefore;
    if (r == Engine::Result::kEnd) {
      done_ = true;
    } else if (r == Engine::Result::kCorrupt) {
      done_ = true;
      stop_ = QStringLiteral(
                  "the %1 data is corrupt near byte %2 of the file (%3): the lines after "
                  "that are not read")
                  .arg(QString::fromLatin1(compressionName(kind_)))
                  .arg(consumed_ - inBytes_ + inTaken_)
                  .arg(QString::fromStdString(engine_->why));
    } else if (!moved && fileEnded_ && inTaken_ == inBytes_) {
      done_ = true;
      stop_ = QStringLiteral(
                  "the compressed data ends before its end mark at byte %1 (cut short, as an "
                  "interrupted rotation leaves it): the lines after that are not read")
                  .arg(consumed_);
    } else if (!moved && inTaken_ < inBytes_) {
      done_ = true;
      stop_ = QStringLiteral(
                  "the compressed data stands still at byte %1: the lines after "
                  "that are not read")
                  .arg(consumed_ - inBytes_ + inTaken_);
    }
  }
  return produced;
}

QByteArray contentStart(const QString& path, std::int64_t max) {
  LogInput input;
  if (!input.open(path).isEmpty()) return {};
  if (input.compression() == Compression::kNone) {
    const std::int64_t from = input.dataFrom(0, input.size());
    return input.bytes(from, from + max);
  }
  QByteArray out(static_cast<qsizetype>(max), Qt::Uninitialized);
  Decompressor d(input, input.compression());
  std::int64_t done = 0;
  while (done < max) {
    const std::int64_t got = d.read(out.data() + done, max - done);
    if (got <= 0) break;
    done += got;
  }
  out.truncate(static_cast<qsizetype>(done));
  return out;
}

}  // namespace bw
