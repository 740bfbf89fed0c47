#include "trend/ParallelLogParser.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "trend/RecordSink.h"

namespace bw {

namespace {

// Chunks parsed or being parsed ahead of the one the caller takes, per
// worker: enough that no worker waits for the caller while it appends.
constexpr int kChunksPerWorker = 2;
// Read after a chunk's end to find the end of the line running across it.
constexpr std::int64_t kRestBytes = 16 << 10;
// A chunk is read in pieces of this size: copied into the core's own cache
// and parsed there, where the whole chunk would go out to memory and back.
constexpr std::int64_t kPieceBytes = 128 << 10;
// Of a compressed chunk, the line running across its end is taken into its
// buffer when it is no longer than this; a longer one is parsed as it is
// decompressed.
constexpr std::int64_t kMostTailBytes = 64 << 10;

// Reads [offset, offset + size) whole unless the file is shorter now: the
// count, or -1 on an error.
std::int64_t readWhole(const LogInput& input, std::int64_t offset, char* data, std::int64_t size,
                       QString& error) {
  std::int64_t done = 0;
  while (done < size) {
    const std::int64_t got = input.readAt(offset + done, data + done, size - done, error);
    if (got < 0) return -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace

// One chunk's lines through a splitter of their own.
class ParallelLogParser::ChunkParse {
 public:
  ChunkParse(const QString& file, const StampFilter& filter, const ChunkWork& work,
             ParsedChunk& chunk)
      : chunk_(chunk),
        records_(
            file, filter,
            [this, format = work.format](const LogRecord& r) {
              if (format)
                (*format)(r, chunk_.rows);
              else
                chunk_.lines.add(r);
            },
            chunk.found, work.format ? parseLogLineTexts : parseLogLineValues),
        widest_(filter),
        sink_(work.widestOnly ? static_cast<LineSplitter::Sink&>(widest_) : records_) {}

  void feed(const char* data, std::int64_t size) {
    splitter_.feed(data, static_cast<std::size_t>(size), sink_);
  }
  void feedZeros(std::int64_t size) { splitter_.feedZeros(size); }

  void finish() {
    chunk_.lineCount = splitter_.nextLineNumber() - 1;
    chunk_.heldBytes = splitter_.heldBytes();
    chunk_.widest = widest_.widest;
  }

 private:
  ParsedChunk& chunk_;
  LineSplitter splitter_;
  RecordSink records_;
  WidestLineSink widest_;
  LineSplitter::Sink& sink_;
};

ParallelLogParser::ParallelLogParser(std::vector<LogInput>& inputs, const QStringList& files,
                                     const StampFilter& filter, int threads,
                                     std::int64_t chunkBytes, const std::atomic_bool* cancel,
                                     ChunkWork chunkWork)
    : inputs_(inputs),
      files_(files),
      filter_(filter),
      chunkBytes_(std::max<std::int64_t>(chunkBytes, 1)),
      cancel_(cancel),
      work_(chunkWork) {
  threads = std::max(threads, 1);
  slots_.resize(static_cast<std::size_t>(threads * kChunksPerWorker));
  for (auto& slot : slots_) slot = std::make_unique<ParsedChunk>();
  ready_.assign(slots_.size(), false);
  streams_.resize(inputs_.size());
  while (jobsLeft() && !inputs_[static_cast<std::size_t>(nextJob_.file)].isOpen()) ++nextJob_.file;
  for (int i = 0; i < threads; ++i) {
    try {
      workers_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
      break;  // fewer threads, or none: next() then parses itself
    }
  }
}

ParallelLogParser::~ParallelLogParser() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  jobWanted_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool ParallelLogParser::stopping() const {
  return stop_.load(std::memory_order_relaxed) ||
         (cancel_ && cancel_->load(std::memory_order_relaxed));
}

bool ParallelLogParser::jobsLeft() const {
  return nextJob_.file < static_cast<int>(inputs_.size());
}

ParallelLogParser::Job ParallelLogParser::takeJob() {
  const Job job = nextJob_;
  LogInput& input = inputs_[static_cast<std::size_t>(job.file)];
  // A file opened only when read is opened with its first chunk; the reading
  // closes it once it has taken its last. One that cannot be opened now
  // fails its chunks' reads with the reason.
  if (job.index == 0) input.acquire();
  const bool compressed = input.isOpen() && input.compression() != Compression::kNone;
  if (compressed && job.index == 0) {
    auto stream = std::make_unique<Stream>();
    stream->decompressor = std::make_unique<Decompressor>(input, input.compression());
    streams_[static_cast<std::size_t>(job.file)] = std::move(stream);
  }
  // Every file, an empty one too, is at least one chunk; a compressed one
  // has chunks until its content ends.
  if (compressed || (job.index + 1) * chunkBytes_ < input.size()) {
    ++nextJob_.index;
  } else {
    nextJob_ = {job.file + 1, 0};
    while (jobsLeft() && !inputs_[static_cast<std::size_t>(nextJob_.file)].isOpen())
      ++nextJob_.file;
  }
  ++handedOut_;
  return job;
}

void ParallelLogParser::skipEnded() {
  while (jobsLeft()) {
    const auto& stream = streams_[static_cast<std::size_t>(nextJob_.file)];
    if (nextJob_.index == 0 || !stream || !stream->ended) return;
    nextJob_ = {nextJob_.file + 1, 0};
    while (jobsLeft() && !inputs_[static_cast<std::size_t>(nextJob_.file)].isOpen())
      ++nextJob_.file;
  }
}

void ParallelLogParser::dropUpTo(int file) {
  const std::lock_guard<std::mutex> lock(mutex_);
  dropped_ = std::max(dropped_, file);
  if (jobsLeft() && nextJob_.file <= dropped_) {
    nextJob_ = {dropped_, 0};
    while (jobsLeft() && (nextJob_.file <= dropped_ ||
                          !inputs_[static_cast<std::size_t>(nextJob_.file)].isOpen()))
      ++nextJob_.file;
  }
}

void ParallelLogParser::work() {
  Buffers buffers;
  while (true) {
    Job job;
    std::size_t slot = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      jobWanted_.wait(lock, [this] {
        skipEnded();
        return stop_ || !jobsLeft() ||
               handedOut_ < taken_ + static_cast<std::int64_t>(slots_.size());
      });
      if (stop_ || !jobsLeft()) return;
      slot = static_cast<std::size_t>(handedOut_) % slots_.size();
      job = takeJob();
    }
    parse(job, *slots_[slot], buffers);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ready_[slot] = true;
    }
    chunkDone_.notify_one();
  }
}

ParsedChunk* ParallelLogParser::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    if (holding_) {
      ready_[static_cast<std::size_t>(taken_) % slots_.size()] = false;
      ++taken_;
      holding_ = false;
      jobWanted_.notify_all();
    }
    const std::size_t slot = static_cast<std::size_t>(taken_) % slots_.size();
    skipEnded();
    if (workers_.empty() && taken_ == handedOut_ && jobsLeft()) {
      const Job job = takeJob();
      lock.unlock();
      parse(job, *slots_[slot], ownBuffers_);
      lock.lock();
      ready_[slot] = true;
    }
    chunkDone_.wait(lock, [&] {
      skipEnded();
      return ready_[slot] || (taken_ == handedOut_ && !jobsLeft());
    });
    if (!ready_[slot]) return nullptr;
    holding_ = true;
    ParsedChunk* chunk = slots_[slot].get();
    if (chunk->file > dropped_) return chunk;
  }
}

void ParallelLogParser::parse(const Job& job, ParsedChunk& chunk, Buffers& buffers) {
  chunk.file = job.file;
  chunk.lines.clear();
  chunk.rows.clear();
  chunk.found = ReadReport();
  chunk.widest = 0;
  chunk.lineCount = 0;
  chunk.heldBytes = 0;
  chunk.fileEnds = false;
  chunk.cutShort = false;
  chunk.empty = false;
  chunk.error.clear();
  if (stopping()) return;

  const LogInput& input = inputs_[static_cast<std::size_t>(job.file)];
  if (streams_[static_cast<std::size_t>(job.file)]) {
    parseStream(job, chunk, buffers);
    return;
  }
  const std::int64_t size = input.size();
  const std::int64_t cut = job.index * chunkBytes_;
  const std::int64_t nextCut = std::min(size, cut + chunkBytes_);
  // A chunk in a hole holds zeros only, and no line begins in it.
  if (job.index > 0 && input.dataFrom(cut, nextCut) == nextCut) {
    chunk.empty = true;
    return;
  }
  buffers.chunk.resize(static_cast<std::size_t>(std::min(kPieceBytes, nextCut - cut)));
  ChunkParse parse(files_.at(job.file), filter_, work_, chunk);
  bool begun = job.index == 0;  // else the line running across the cut is the chunk's before
  std::int64_t end = cut;
  while (end < nextCut) {
    const std::int64_t want = std::min(kPieceBytes, nextCut - end);
    const std::int64_t got = readWhole(input, end, buffers.chunk.data(), want, chunk.error);
    if (got < 0) return;
    const char* data = buffers.chunk.data();
    std::int64_t from = 0;
    if (!begun) {
      const auto* lf =
          static_cast<const char*>(std::memchr(data, '\n', static_cast<std::size_t>(got)));
      begun = lf != nullptr;
      from = begun ? lf - data + 1 : got;
    }
    parse.feed(data + from, got - from);
    end += got;
    if (got < want) break;
  }
  if (!begun) {
    chunk.empty = true;
    return;
  }
  chunk.end = end;
  chunk.cutShort = end < nextCut;
  chunk.fileEnds = chunk.cutShort || nextCut == size;
  // On to the end of the line running across the chunk's end, past holes
  // without reading them.
  buffers.rest.resize(static_cast<std::size_t>(kRestBytes));
  while (!chunk.fileEnds && !stopping()) {
    const std::int64_t dataAt = input.dataFrom(chunk.end, size);
    if (dataAt > chunk.end) {
      parse.feedZeros(dataAt - chunk.end);
      chunk.end = dataAt;
      chunk.fileEnds = chunk.end == size;
      continue;
    }
    const std::int64_t read = input.readAt(chunk.end, buffers.rest.data(),
                                           std::min(kRestBytes, size - chunk.end), chunk.error);
    if (read < 0) return;
    const auto* lf = static_cast<const char*>(
        std::memchr(buffers.rest.data(), '\n', static_cast<std::size_t>(read)));
    const std::int64_t bytes = lf ? lf - buffers.rest.data() + 1 : read;
    parse.feed(buffers.rest.data(), bytes);
    chunk.end += bytes;
    chunk.cutShort = read == 0;
    chunk.fileEnds = chunk.cutShort || chunk.end == size;
    if (lf) break;
  }
  parse.finish();
}

void ParallelLogParser::parseStream(const Job& job, ParsedChunk& chunk, Buffers& buffers) {
  Stream& s = *streams_[static_cast<std::size_t>(job.file)];
  std::unique_lock<std::mutex> lock(s.mutex);
  while (s.next != job.index) {
    if (stopping()) {
      chunk.empty = true;
      return;
    }
    s.turn.wait_for(lock, std::chrono::milliseconds(50));
  }
  // The next chunk's turn however this one ends.
  struct Turn {
    Stream& s;
    std::unique_lock<std::mutex>& lock;
    void pass() {
      if (!lock.owns_lock()) return;
      ++s.next;
      if (s.ended) s.decompressor.reset();
      lock.unlock();
      s.turn.notify_all();
    }
    ~Turn() { pass(); }
  } turn{s, lock};
  if (s.ended) {
    chunk.empty = true;
    return;
  }
  Decompressor& d = *s.decompressor;
  std::vector<char>& data = buffers.chunk;
  data.assign(s.carry.begin(), s.carry.end());
  s.carry.clear();
  std::size_t have = data.size();
  if (static_cast<std::int64_t>(have) < chunkBytes_) {
    data.resize(static_cast<std::size_t>(chunkBytes_));
    const std::int64_t got =
        d.read(data.data() + have, chunkBytes_ - static_cast<std::int64_t>(have));
    if (got < 0) {
      chunk.error = d.error();
      s.ended = true;
      return;
    }
    have += static_cast<std::size_t>(got);
    data.resize(have);
  }
  ChunkParse parse(files_.at(job.file), filter_, work_, chunk);
  // On to the end of the line running across the chunk's end.
  bool fed = false;
  buffers.rest.resize(static_cast<std::size_t>(kRestBytes));
  while (!d.finished() && !data.empty() && data.back() != '\n' && !stopping()) {
    const std::int64_t read = d.read(buffers.rest.data(), kRestBytes);
    if (read < 0) {
      chunk.error = d.error();
      s.ended = true;
      return;
    }
    if (read == 0) break;
    const char* rest = buffers.rest.data();
    const auto* lf =
        static_cast<const char*>(std::memchr(rest, '\n', static_cast<std::size_t>(read)));
    const std::int64_t bytes = lf ? lf - rest + 1 : read;
    if (!fed && static_cast<std::int64_t>(data.size()) + bytes <= chunkBytes_ + kMostTailBytes) {
      data.insert(data.end(), rest, rest + bytes);
    } else {
      if (!fed) parse.feed(data.data(), static_cast<std::int64_t>(data.size()));
      fed = true;
      parse.feed(rest, bytes);
    }
    if (lf) {
      s.carry.assign(rest + bytes, rest + read);
      break;
    }
  }
  chunk.end = d.consumed();
  chunk.fileEnds = d.finished() && s.carry.empty();
  chunk.cutShort = chunk.fileEnds && !d.stopReason().isEmpty();
  if (chunk.cutShort) chunk.stopReason = d.stopReason();
  s.ended = chunk.fileEnds;
  // The next chunk decompresses while this one is parsed.
  turn.pass();
  if (!fed) parse.feed(data.data(), static_cast<std::int64_t>(data.size()));
  parse.finish();
}

}  // namespace bw
