// StreamHash hashes a stream of bytes that comes in pieces of any size: the digest depends on the
// bytes, their order and their count, never on where the pieces were cut. It is no cryptographic
// hash: it tells whether two reads of the same stretch of a file gave the same bytes, at a few
// gigabytes a second (four independent lanes of 8 bytes).
#ifndef RELALG_BASE_STREAMHASH_H
#define RELALG_BASE_STREAMHASH_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace relalg {

class StreamHash {
 public:
  void update(std::string_view bytes) {
    if (bytes.empty()) return;  // its data may be null, which memcpy must not be given
    size_ += bytes.size();
    if (pendingBytes_ > 0) {  // complete the block begun by the last piece
      const size_t taken = std::min(bytes.size(), kBlock - pendingBytes_);
      std::memcpy(pending_ + pendingBytes_, bytes.data(), taken);
      pendingBytes_ += taken;
      bytes.remove_prefix(taken);
      if (pendingBytes_ < kBlock) return;
      mixBlock(pending_);
      pendingBytes_ = 0;
    }
    for (; bytes.size() >= kBlock; bytes.remove_prefix(kBlock)) mixBlock(bytes.data());
    std::memcpy(pending_, bytes.data(), bytes.size());
    pendingBytes_ = bytes.size();
  }

  // The hash of every byte given so far and of their count.
  uint64_t digest() const {
    uint64_t h = size_ * kLengthMultiplier;
    for (uint64_t lane : lanes_) h = (h ^ lane) * kMultiplier;
    for (size_t k = 0; k < pendingBytes_; ++k) {
      h = (h ^ static_cast<unsigned char>(pending_[k])) * kMultiplier;
    }
    h ^= h >> 31;
    return h * kMultiplier;
  }

 private:
  static constexpr size_t kBlock = 32;
  static constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  static constexpr uint64_t kLengthMultiplier = 0xC2B2AE3D27D4EB4Fu;

  void mixBlock(const char* block) {
    for (size_t lane = 0; lane < 4; ++lane) {
      uint64_t word;
      std::memcpy(&word, block + 8 * lane, 8);
      const uint64_t mixed = (lanes_[lane] ^ word) * kMultiplier;
      lanes_[lane] = mixed ^ (mixed >> 29);
    }
  }

  uint64_t lanes_[4] = {0x243F6A8885A308D3u, 0x13198A2E03707344u, 0xA4093822299F31D0u,
                        0x082EFA98EC4E6C89u};
  char pending_[kBlock] = {};  // the bytes of a block not yet complete
  size_t pendingBytes_ = 0;
  size_t size_ = 0;
};

}  // namespace relalg

#endif  // RELALG_BASE_STREAMHASH_H
