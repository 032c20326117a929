// Large blocks on 2 MiB pages. The tables of a big input live in a few large blocks (the bytes and
// offsets of columns, ranks, lists of rows), and on a virtual machine the fault that maps each
// fresh 4 KiB page in can cost more than the work done on it: a run over a million records
// spends about half its time there. So every allocation of at least kLargeBlock bytes is placed
// on a 2 MiB boundary and marked for transparent huge pages, which map 512 times as much per
// fault. Smaller allocations, and every free, are the C library's as usual.
//
// Only where the kernel has such pages: Linux, outside the sanitizer builds, which bring their
// own allocator and must see every allocation.
#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define RELALG_SANITIZED_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RELALG_SANITIZED_ALLOCATOR 1
#endif

#if defined(__linux__) && !defined(__EMSCRIPTEN__) && !defined(RELALG_SANITIZED_ALLOCATOR)

#include <malloc.h>
#include <sys/mman.h>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeBlock = std::size_t{1} << 20;

void* allocate(std::size_t size) {
  if (size < kLargeBlock) return std::malloc(size == 0 ? 1 : size);
  // Whole pages, the last one too: its unused end costs less than faulting in the rest of the
  // block 4 KiB at a time.
  const std::size_t pages = (size + kHugePage - 1) / kHugePage * kHugePage;
  void* block = nullptr;
  if (pages < size || posix_memalign(&block, kHugePage, pages) != 0) return nullptr;
  madvise(block, pages, MADV_HUGEPAGE);
  return block;
}

// Large blocks are always mapped on their own: the C library would otherwise, after the first
// such block is freed, take the next ones from its heap, which grows a little at a time and so
// never offers a whole aligned huge page.
const bool kFixedMapThreshold = mallopt(M_MMAP_THRESHOLD, static_cast<int>(kLargeBlock)) == 1;

}  // namespace

void* operator new(std::size_t size) {
  for (;;) {
    if (void* block = allocate(size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

#endif
