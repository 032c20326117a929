// RawVector<T> is a std::vector of a trivial type whose resize leaves the new elements as the
// memory had them instead of zeroing them: for buffers that a caller grows by a known count and
// then fills at once (a column's values, the bytes of record text), so that their memory is
// written once, by the fill, and not first by a zeroing pass.
#ifndef RELALG_BASE_RAWVECTOR_H
#define RELALG_BASE_RAWVECTOR_H

#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace relalg {

// An allocator that value-initializes nothing: an element made without arguments is left
// uninitialized; one made from arguments is constructed from them as usual.
template <class T>
class UninitializedAllocator : public std::allocator<T> {
 public:
  static_assert(std::is_trivial_v<T>);

  template <class U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };

  UninitializedAllocator() = default;
  template <class U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}

  template <class U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};

template <class T>
using RawVector = std::vector<T, UninitializedAllocator<T>>;

}  // namespace relalg

#endif  // RELALG_BASE_RAWVECTOR_H
