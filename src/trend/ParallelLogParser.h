#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "trend/Decompression.h"
#include "trend/LineColumns.h"
#include "trend/LogInput.h"
#include "trend/LogReading.h"

namespace bw {

// What a worker found in one chunk of a file: the lines that begin in it,
// up to the end of the one running across its end. Line numbers count from
// the chunk's first line as 1; the reading numbers them on.
struct ParsedChunk {
  int file = 0;
  std::int64_t end = 0;  // the offset after the chunk's last byte
  LineColumns lines;     // the lines taken, unless they are formatted:
  std::string rows;      // the lines taken, formatted
  ReadReport found;      // lines taken, out of range and bad, unless only the widest is looked for:
  int widest = 0;        // the most readings a line in range holds, when it is
  std::int64_t lineCount = 0;
  std::int64_t heldBytes = 0;  // of a last line without its line end
  bool fileEnds = false;       // nothing of the file is read after this chunk
  bool cutShort = false;       // because the file is shorter now than when opened
  bool empty = false;          // no line begins in it: one from before runs through
  QString error;               // the file could not be read
  QString stopReason;          // why a compressed file's content stopped early, with cutShort
};

// What a worker makes of a chunk's lines: without a format or widestOnly,
// the lines taken go into the chunk's lines.
struct ChunkWork {
  const LogReading::FormatRow* format = nullptr;  // formats each line taken into the rows
  bool widestOnly = false;                        // finds the widest line only
};

// Takes log files apart on several threads. Each file is cut into chunks
// of `chunkBytes`, each moved on to the first line end at or after its
// cut, and the chunks are parsed by worker threads, a few ahead of the one
// the caller takes; the caller gets them in file order. Memory stays that
// of a few chunks per thread, however long the files. A compressed file
// cannot be cut where one likes: its chunks are decompressed one after the
// other, each by the worker that parses it, and parsed side by side.
class ParallelLogParser {
 public:
  // Inputs that are not open are passed over. `threads` at least 1; the
  // files, filter, cancel flag and format must outlive the parser.
  ParallelLogParser(std::vector<LogInput>& inputs, const QStringList& files,
                    const StampFilter& filter, int threads, std::int64_t chunkBytes,
                    const std::atomic_bool* cancel, ChunkWork chunkWork = {});
  ~ParallelLogParser();
  ParallelLogParser(const ParallelLogParser&) = delete;
  ParallelLogParser& operator=(const ParallelLogParser&) = delete;

  // The next chunk, waited for; null after the last. It is the caller's
  // until the next call.
  ParsedChunk* next();
  // No more chunks of `file` and the files before it are wanted.
  void dropUpTo(int file);

 private:
  struct Job {
    int file = 0;
    std::int64_t index = 0;
  };
  // What a worker reads into, kept from chunk to chunk.
  struct Buffers {
    std::vector<char> chunk;
    std::vector<char> rest;
  };
  class ChunkParse;
  // A compressed file's content, handed to its chunks in turn.
  struct Stream {
    std::mutex mutex;
    std::condition_variable turn;
    std::int64_t next = 0;  // the chunk whose turn it is
    std::unique_ptr<Decompressor> decompressor;
    std::vector<char> carry;  // read past the line end that closed the chunk before
    std::atomic_bool ended{false};
  };

  bool jobsLeft() const;  // with mutex_ held
  Job takeJob();          // with mutex_ held
  void skipEnded();       // with mutex_ held: past a compressed file whose content ended
  void work();
  void parse(const Job& job, ParsedChunk& chunk, Buffers& buffers);
  void parseStream(const Job& job, ParsedChunk& chunk, Buffers& buffers);
  bool stopping() const;

  std::vector<LogInput>& inputs_;
  const QStringList& files_;
  const StampFilter& filter_;
  const std::int64_t chunkBytes_;
  const std::atomic_bool* cancel_;
  const ChunkWork work_;

  std::vector<std::unique_ptr<Stream>>
      streams_;  // per input, made with a compressed one's first chunk
  std::vector<std::unique_ptr<ParsedChunk>> slots_;  // chunk n in slot n % size
  std::vector<bool> ready_;
  std::mutex mutex_;
  std::condition_variable jobWanted_;  // workers wait on it
  std::condition_variable chunkDone_;  // the caller waits on it
  Job nextJob_;
  std::int64_t handedOut_ = 0;  // chunks given to workers
  std::int64_t taken_ = 0;      // chunks the caller is done with
  bool holding_ = false;        // the caller has chunk taken_
  int dropped_ = -1;
  std::atomic_bool stop_{false};
  Buffers ownBuffers_;  // when no worker thread could be started
  std::vector<std::thread> workers_;
};

}  // namespace bw
