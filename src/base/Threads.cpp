#include "base/Threads.h"

#include <cstdlib>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace relalg {

namespace {

thread_local const CancelToken* cancelToken = nullptr;

}  // namespace

const CancelToken* currentCancelToken() { return cancelToken; }

CancelScope::CancelScope(const CancelToken* token) : previous_(cancelToken) { cancelToken = token; }

CancelScope::~CancelScope() { cancelToken = previous_; }

unsigned threadCount() {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  return 1;  // WebAssembly without shared memory has one thread
#endif
  if (const char* wanted = std::getenv("RELALG_THREADS"); wanted != nullptr) {
    char* end = nullptr;
    const long count = std::strtol(wanted, &end, 10);
    if (end != wanted && *end == '\0' && count > 0) {
      return count > kMaxThreads ? kMaxThreads : static_cast<unsigned>(count);
    }
  }
  const unsigned processors = std::thread::hardware_concurrency();
  if (processors == 0) return 1;
  return processors > kMaxThreads ? kMaxThreads : processors;
}

void runPieces(size_t pieces, const std::function<void(size_t)>& work) {
  std::vector<std::exception_ptr> failures(pieces);
  const CancelToken* const token = cancelToken;
  auto runPiece = [&work, &failures, token](size_t piece) {
    const CancelScope scope(token);
    try {
      work(piece);
    } catch (...) {
      failures[piece] = std::current_exception();
    }
  };
  std::vector<size_t> leftOver;  // pieces for which no thread could be started
  leftOver.reserve(pieces);
  {
    // Joins every thread it holds when it goes, however the block is left.
    struct Threads {
      std::vector<std::thread> started;
      ~Threads() {
        for (std::thread& thread : started) thread.join();
      }
    } threads;
    threads.started.reserve(pieces);
    for (size_t piece = 1; piece < pieces; ++piece) {
      try {
        threads.started.emplace_back(runPiece, piece);
      } catch (const std::system_error&) {
        leftOver.push_back(piece);
      }
    }
    if (pieces > 0) runPiece(0);
    for (size_t piece : leftOver) runPiece(piece);
  }
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace relalg
