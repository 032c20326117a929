#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>
#include <numeric>
#include <vector>

namespace {

TEST(LargeBlocks, HoldTheirWholeSizeAndOutliveSmallerOnes) {
  std::vector<std::vector<uint32_t>> blocks;
  for (size_t size : {size_t{1} << 18, size_t{3} << 19, (size_t{1} << 21) + 5}) {
    blocks.emplace_back(size);
    std::iota(blocks.back().begin(), blocks.back().end(), uint32_t{7});
  }
  blocks.erase(blocks.begin() + 1);
  blocks.emplace_back(size_t{5} << 19, 3u);
  EXPECT_EQ(blocks[0].back(), 7 + (1u << 18) - 1);
  EXPECT_EQ(blocks[1].back(), 7 + (1u << 21) + 4);
  EXPECT_EQ(blocks[2].front() + blocks[2].back(), 6u);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The sanitizers stop the process on an impossible size instead of reporting it.
TEST(LargeBlocks, ImpossibleSizesFailAsOutOfMemory) {
  volatile size_t impossible = std::numeric_limits<size_t>::max() - 4096;  // rounds past the end
  EXPECT_THROW(::operator delete(::operator new(impossible)), std::bad_alloc);
  EXPECT_EQ(::operator new(impossible, std::nothrow), nullptr);
  EXPECT_THROW(::operator delete[](::operator new[](impossible / 2 + 8)), std::bad_alloc);
}
#endif

}  // namespace
