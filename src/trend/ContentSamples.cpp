#include "trend/ContentSamples.h"

#include <QString>
#include <cstring>

namespace bw {

namespace {

// Eight bytes a step, well mixed: a changed byte changes the hash.
std::uint64_t hashBytes(const char* data, std::size_t size) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ size;
  const auto mix = [&h](std::uint64_t word) {
    h = (h ^ word) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  };
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, data + at, 8);
    mix(word);
  }
  std::uint64_t rest = 0;
  std::memcpy(&rest, data + at, size - at);
  mix(rest);
  return h;
}

}  // namespace

bool ContentSamples::hashOf(const LogInput& input, Block& block, std::vector<char>& buffer) {
  buffer.resize(static_cast<std::size_t>(block.size));
  QString error;
  std::int64_t done = 0;
  while (done < block.size) {
    const std::int64_t got =
        input.readAt(block.offset + done, buffer.data() + done, block.size - done, error);
    if (got <= 0) return false;
    done += got;
  }
  block.hash = hashBytes(buffer.data(), buffer.size());
  return true;
}

ContentSamples ContentSamples::of(const LogInput& input, std::int64_t end) {
  ContentSamples samples;
  samples.end_ = end;
  std::vector<char> buffer;
  const std::int64_t blocks =
      std::min<std::int64_t>(kBlocks, (end + kBlockBytes - 1) / kBlockBytes);
  for (std::int64_t i = 0; i < blocks; ++i) {
    Block block;
    if (end <= kBlocks * kBlockBytes) {
      block.offset = i * kBlockBytes;
      block.size = std::min(kBlockBytes, end - block.offset);
    } else {
      block.offset = i * (end - kBlockBytes) / (kBlocks - 1);
      block.size = kBlockBytes;
    }
    // A block that cannot be read now matches nothing later.
    if (!hashOf(input, block, buffer)) block.size = -1;
    samples.blocks_.push_back(block);
  }
  return samples;
}

bool ContentSamples::matches(const LogInput& input) const {
  const auto size = input.sizeNow();
  if (!size || *size < end_) return false;
  std::vector<char> buffer;
  for (const Block& block : blocks_) {
    Block now = block;
    if (block.size < 0 || !hashOf(input, now, buffer) || now.hash != block.hash) return false;
  }
  return true;
}

std::uint64_t ContentSamples::digest() const {
  std::vector<std::int64_t> parts{end_};
  for (const Block& block : blocks_)
    parts.insert(parts.end(), {block.offset, block.size, static_cast<std::int64_t>(block.hash)});
  return hashBytes(reinterpret_cast<const char*>(parts.data()), parts.size() * sizeof(parts[0]));
}

bool ContentSamples::operator==(const ContentSamples& o) const {
  return end_ == o.end_ && blocks_ == o.blocks_;
}

}  // namespace bw
