#pragma once

#include <cstdint>
#include <vector>

#include "trend/LogInput.h"

namespace bw {

// What a file held in [0, end) when it was read, in a few blocks: the
// first, the one just before `end`, and the others spread evenly between
// (all of it, for a file of up to kBlocks blocks). A file appended to still
// holds them; a file rewritten in place (`cp backup.log LOG`, the same file
// as large or larger, its size kept even) no longer does wherever the
// rewrite changed a sampled block. Checking costs kBlocks reads of
// kBlockBytes, wherever the file's end lies: the same on a year's log as on
// a day's.
class ContentSamples {
 public:
  static constexpr int kBlocks = 64;
  static constexpr std::int64_t kBlockBytes = 4096;

  ContentSamples() = default;
  static ContentSamples of(const LogInput& input, std::int64_t end);

  // Whether the open file holds what it held: false once it is shorter than
  // `end`, a block differs, or a block cannot be read.
  bool matches(const LogInput& input) const;
  std::int64_t end() const { return end_; }
  // One number for all the blocks, to tell two samplings apart.
  std::uint64_t digest() const;
  bool operator==(const ContentSamples& o) const;
  bool operator!=(const ContentSamples& o) const { return !(*this == o); }

 private:
  struct Block {
    std::int64_t offset = 0;
    std::int64_t size = 0;
    std::uint64_t hash = 0;
    bool operator==(const Block& o) const {
      return offset == o.offset && size == o.size && hash == o.hash;
    }
  };
  // The hash of [offset, offset + size), or none when it cannot all be read.
  static bool hashOf(const LogInput& input, Block& block, std::vector<char>& buffer);

  std::int64_t end_ = 0;
  std::vector<Block> blocks_;
};

}  // namespace bw
