#include "base/MemoryCeiling.h"

#include <cstdio>
#include <limits>

#ifdef __linux__
#include <unistd.h>
#endif

#if defined(__unix__) && !defined(__EMSCRIPTEN__)
#include <sys/resource.h>
#define RELALG_HAVE_RLIMIT 1
#endif
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#undef RELALG_HAVE_RLIMIT
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#undef RELALG_HAVE_RLIMIT
#endif

namespace relalg {

std::optional<size_t> parseMemorySize(std::string_view text) {
  size_t unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K':
        unit = size_t{1} << 10;
        break;
      case 'M':
        unit = size_t{1} << 20;
        break;
      case 'G':
        unit = size_t{1} << 30;
        break;
      default:
        break;
    }
    if (unit > 1) text.remove_suffix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr size_t kMost = std::numeric_limits<size_t>::max();
  size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const size_t digit = static_cast<size_t>(c - '0');
    if (value > (kMost - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (value == 0 || value > kMost / unit) return std::nullopt;
  return value * unit;
}

size_t addressSpaceInUse() {
#ifdef __linux__
  if (std::FILE* status = std::fopen("/proc/self/statm", "r")) {
    unsigned long long pages = 0;
    const bool read = std::fscanf(status, "%llu", &pages) == 1;
    std::fclose(status);
    const long pageBytes = sysconf(_SC_PAGESIZE);
    if (read && pageBytes > 0) return static_cast<size_t>(pages) * static_cast<size_t>(pageBytes);
  }
#endif
  return 0;
}

bool capMemory(size_t bytes) {
#ifdef RELALG_HAVE_RLIMIT
  const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  return setrlimit(RLIMIT_AS, &limit) == 0;
#else
  (void)bytes;
  return false;
#endif
}

}  // namespace relalg
