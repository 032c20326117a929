// ByteChunk looks at 16 bytes at once and tells which of them hold given byte values, as a mask
// with bit k set for byte k: the scans over lines and values find line feeds and separators a
// chunk at a time instead of a byte at a time. It uses SSE2 or WebAssembly's SIMD where the build
// has them, and a plain loop elsewhere; the masks are the same.
#ifndef RELALG_BASE_BYTECHUNK_H
#define RELALG_BASE_BYTECHUNK_H

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace relalg {

class ByteChunk {
 public:
  static constexpr int kSize = 16;

  // The 16 bytes from bytes on, all of which must be readable.
  explicit ByteChunk(const char* bytes) {
#if defined(__SSE2__)
    chunk_ = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
#elif defined(__wasm_simd128__)
    chunk_ = wasm_v128_load(bytes);
#else
    std::memcpy(chunk_, bytes, kSize);
#endif
  }

  // The bytes equal to any of the values.
  template <char... kValues>
  uint32_t anyOf() const {
#if defined(__SSE2__)
    const __m128i equal = (_mm_cmpeq_epi8(chunk_, _mm_set1_epi8(kValues)) | ...);
    return static_cast<uint32_t>(_mm_movemask_epi8(equal));
#elif defined(__wasm_simd128__)
    const v128_t equal = (wasm_i8x16_eq(chunk_, wasm_i8x16_splat(kValues)) | ...);
    return static_cast<uint32_t>(wasm_i8x16_bitmask(equal));
#else
    uint32_t mask = 0;
    for (int k = 0; k < kSize; ++k) mask |= uint32_t{((chunk_[k] == kValues) || ...)} << k;
    return mask;
#endif
  }

  // The number of bytes a mask of a chunk marks: a table lookup per half, where a build for the
  // common x86-64 has no instruction that counts bits and would call a library function.
  static int count(uint32_t mask) {
    static constexpr auto kBits = [] {
      struct Table {
        uint8_t bits[256];
      } table{};
      for (int k = 1; k < 256; ++k) table.bits[k] = static_cast<uint8_t>(table.bits[k / 2] + k % 2);
      return table;
    }();
    return kBits.bits[mask & 0xFF] + kBits.bits[(mask >> 8) & 0xFF];
  }

 private:
#if defined(__SSE2__)
  __m128i chunk_;
#elif defined(__wasm_simd128__)
  v128_t chunk_;
#else
  char chunk_[kSize];
#endif
};

}  // namespace relalg

#endif  // RELALG_BASE_BYTECHUNK_H
