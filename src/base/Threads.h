// How many threads the core library works with, and the one way it runs work on them: numbered
// pieces, each on its own thread, whose failures are reported the way one thread working through
// the pieces in order would meet them. Threads are joined before anything returns or is thrown,
// so no work outlives the call that started it.
#ifndef RELALG_BASE_THREADS_H
#define RELALG_BASE_THREADS_H

#include <algorithm>
#include <cstddef>
#include <functional>

namespace relalg {

// The environment variable RELALG_THREADS when it holds a positive number (at most
// kMaxThreads), else the number of processors; at least 1.
unsigned threadCount();
inline constexpr unsigned kMaxThreads = 64;

// Runs work(0) .. work(pieces - 1), piece 0 on the calling thread and each other piece on a
// thread of its own (on the calling thread after piece 0 when no thread can be started). After
// every piece has ended, rethrows the failure of the lowest-numbered piece that failed. A piece
// that stops at its first failure therefore fails the call as a sequential run of the pieces
// would, provided the pieces touch disjoint data.
void runPieces(size_t pieces, const std::function<void(size_t)>& work);

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
