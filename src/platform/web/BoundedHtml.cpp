#include "platform/web/BoundedHtml.h"

#include <csetjmp>
#include <cstdlib>
#include <ctime>

#include <gumbo.h>

namespace bw {

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr std::size_t kOwnChunkFrom = 16 * 1024;  // larger blocks get a chunk of their own
constexpr unsigned kCheckEvery = 64;               // allocations between clock reads
constexpr std::size_t kCheckFrom = 4096;           // ... or any block this large

std::int64_t threadCpuMicroseconds() {
#ifdef CLOCK_THREAD_CPUTIME_ID
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
#else
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
#endif
}

enum Abort { kTime = 1, kMemory = 2 };

}  // namespace

// Bump allocation from malloc'd chunks kept on a list; freeing a block does
// nothing, the whole arena goes with the document. The parser is C, so an
// over-budget allocation leaves it with longjmp: no destructor is skipped.
struct BoundedHtml::Arena {
  struct Chunk {
    Chunk* next;
  };
  static constexpr std::size_t kHeader = 16;  // keeps blocks 16-byte aligned

  Chunk* chunks = nullptr;
  char* cursor = nullptr;
  std::size_t left = 0;
  std::size_t used = 0;
  std::size_t memoryBudget = 0;
  std::int64_t deadline = 0;
  unsigned allocations = 0;
  std::jmp_buf exit;

  ~Arena() {
    while (chunks) {
      Chunk* next = chunks->next;
      std::free(chunks);
      chunks = next;
    }
  }

  char* newChunk(std::size_t bytes) {
    auto* chunk = static_cast<Chunk*>(std::malloc(kHeader + bytes));
    if (!chunk) std::longjmp(exit, kMemory);
    chunk->next = chunks;
    chunks = chunk;
    return reinterpret_cast<char*>(chunk) + kHeader;
  }

  void* allocate(std::size_t bytes) {
    bytes = (bytes + 15) & ~std::size_t{15};
    used += bytes;
    if (used > memoryBudget) std::longjmp(exit, kMemory);
    if ((++allocations % kCheckEvery == 0 || bytes >= kCheckFrom) &&
        threadCpuMicroseconds() > deadline)
      std::longjmp(exit, kTime);
    if (bytes >= kOwnChunkFrom) return newChunk(bytes);
    if (bytes > left) {
      cursor = newChunk(kChunkBytes);
      left = kChunkBytes;
    }
    char* block = cursor;
    cursor += bytes;
    left -= bytes;
    return block;
  }

  static void* allocateFor(void* arena, std::size_t bytes) {
    return static_cast<Arena*>(arena)->allocate(bytes);
  }
  static void release(void*, void*) {}
};

namespace {

// Kept apart with nothing but plain locals, as setjmp requires.
int parseOrAbort(std::jmp_buf& exit, const GumboOptions* options, const char* data,
                 std::size_t size, GumboOutput** output) {
  if (const int reason = setjmp(exit)) return reason;
  *output = gumbo_parse_with_options(options, data, size);
  return 0;
}

}  // namespace

BoundedHtml::BoundedHtml(const QByteArray& utf8, std::chrono::microseconds timeBudget,
                         std::size_t memoryBudget)
    : source_(utf8), arena_(new Arena) {
  arena_->memoryBudget = memoryBudget;
  arena_->deadline = threadCpuMicroseconds() + timeBudget.count();
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = &Arena::allocateFor;
  options.deallocator = &Arena::release;
  options.userdata = arena_;
  options.max_errors = 0;  // nobody reads the parse errors; don't keep them
  GumboOutput* output = nullptr;
  const int reason = parseOrAbort(arena_->exit, &options, source_.constData(),
                                  static_cast<std::size_t>(source_.size()), &output);
  if (reason == 0) {
    output_ = output;
  } else if (reason == kTime) {
    refusal_ = QStringLiteral("the page is too large or too deeply nested to read (over %1 ms)")
                   .arg(timeBudget.count() / 1000.0);
  } else {
    refusal_ = QStringLiteral("the page is too large or too deeply nested to read (over %1 MiB)")
                   .arg(memoryBudget >> 20);
  }
}

BoundedHtml::~BoundedHtml() {
  delete arena_;
}

}  // namespace bw
