// ReadHashes keeps the hashes of consecutive stretches of an input's bytes as one pass read them,
// so that later passes can tell whether they read the same bytes: the catalogue's planning pass
// cuts the stretches where its stretches of record lines begin and end, its reading pass checks
// each stretch of record lines, and the copy of the input checks them all, in order.
#ifndef RELALG_FILES_READHASHES_H
#define RELALG_FILES_READHASHES_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/StreamHash.h"

namespace relalg {

class ReadHashes {
 public:
  // Adds the bytes that follow those added so far.
  void add(std::string_view bytes) {
    current_.update(bytes);
    if (bytes.empty()) return;
    size_ += bytes.size();
    lastByte_ = bytes.back();
    heldReturn_ = heldReturn_ || bytes.find('\r') != std::string_view::npos;
  }
  // Of the bytes added so far: their count, whether any is a carriage return, the last one.
  size_t size() const { return size_; }
  bool heldCarriageReturn() const { return heldReturn_; }
  char lastByte() const { return lastByte_; }
  // Ends the stretch at offset end of the input, where the bytes added so far end; returns its
  // hash. A stretch of no bytes is no stretch.
  uint64_t cut(size_t end);

  // Checks a later pass that reads the input from its start, in order: true while every byte
  // given so far is the byte that the first pass read there.
  class Check {
   public:
    explicit Check(const ReadHashes& expected) : expected_(expected) {}
    bool add(std::string_view bytes);
    // Whether the later pass read every stretch, the same, and nothing beyond.
    bool complete() const { return same_ && next_ == expected_.ends_.size() && pending_ == 0; }

   private:
    const ReadHashes& expected_;
    StreamHash current_;
    size_t at_ = 0;       // the input offset of the next byte
    size_t next_ = 0;     // the stretch being read
    size_t pending_ = 0;  // bytes given since the last complete stretch
    bool same_ = true;
  };

 private:
  size_t size_ = 0;
  bool heldReturn_ = false;
  char lastByte_ = 0;
  StreamHash current_;
  size_t begin_ = 0;          // where the current stretch begins
  std::vector<size_t> ends_;  // where each stretch ends, ascending
  std::vector<uint64_t> hashes_;
};

}  // namespace relalg

#endif  // RELALG_FILES_READHASHES_H
