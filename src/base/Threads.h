// How many threads the core library works with, and the one way it runs work on them: numbered
// pieces, each on its own thread, whose failures are reported the way one thread working through
// the pieces in order would meet them. Threads are joined before anything returns or is thrown,
// so no work outlives the call that started it.
//
// Also here: cancelling work that nobody will use any more. Work runs under the cancel token of
// its thread (none on the program's own thread); long loops call throwIfCancelled(), which ends
// the work with Cancelled once the token, or a token it was started under, is cancelled.
#ifndef RELALG_BASE_THREADS_H
#define RELALG_BASE_THREADS_H

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>

namespace relalg {

// The environment variable RELALG_THREADS when it holds a positive number (at most
// kMaxThreads), else the number of processors; at least 1.
unsigned threadCount();
inline constexpr unsigned kMaxThreads = 64;

// Runs work(0) .. work(pieces - 1), piece 0 on the calling thread and each other piece on a
// thread of its own (on the calling thread after piece 0 when no thread can be started), each
// under the caller's cancel token. After
// every piece has ended, rethrows the failure of the lowest-numbered piece that failed. A piece
// that stops at its first failure therefore fails the call as a sequential run of the pieces
// would, provided the pieces touch disjoint data.
void runPieces(size_t pieces, const std::function<void(size_t)>& work);

// Whether the work on a thread is still wanted. A token started under another is cancelled when
// that one is.
class CancelToken {
 public:
  explicit CancelToken(const CancelToken* parent = nullptr) : parent_(parent) {}
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool cancelled() const {
    for (const CancelToken* token = this; token != nullptr; token = token->parent_) {
      if (token->cancelled_.load(std::memory_order_relaxed)) return true;
    }
    return false;
  }

 private:
  std::atomic<bool> cancelled_{false};
  const CancelToken* parent_;
};

// What throwIfCancelled() throws: not a failure of the work, whose result nobody takes.
struct Cancelled {};

// The token that the calling thread works under, or null.
const CancelToken* currentCancelToken();
// Makes token the calling thread's token for the life of the object.
class CancelScope {
 public:
  explicit CancelScope(const CancelToken* token);
  ~CancelScope();
  CancelScope(const CancelScope&) = delete;
  CancelScope& operator=(const CancelScope&) = delete;

 private:
  const CancelToken* previous_;
};
// Throws Cancelled when the calling thread's work has been cancelled.
inline void throwIfCancelled() {
  const CancelToken* token = currentCancelToken();
  if (token != nullptr && token->cancelled()) throw Cancelled{};
}

// The cut of count items into pieces near-equal ranges: piece k holds [begin(k), begin(k + 1)).
struct EvenCut {
  size_t count;
  size_t pieces;
  size_t begin(size_t piece) const {
    return count / pieces * piece + std::min(piece, count % pieces);
  }
};

}  // namespace relalg

#endif  // RELALG_BASE_THREADS_H
