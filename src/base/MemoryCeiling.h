// The memory ceiling of a run, for programs that read files they did not write: a size such as
// 512M caps the address space of the process, so that an input too large for it (a device that
// never ends, a sparse file of gigabytes) ends the run as a lack of memory does, with status 3,
// instead of taking the machine's memory. The size counts every mapping of the process: the
// program, its thread stacks and its allocations.
#ifndef RELALG_BASE_MEMORYCEILING_H
#define RELALG_BASE_MEMORYCEILING_H

#include <cstddef>
#include <optional>
#include <string_view>

namespace relalg {

// The environment variable that sets the ceiling.
inline constexpr const char* kMemoryCeilingVariable = "RELALG_MAX_MEMORY";

// A size in bytes: decimal digits, then optionally K, M or G (times 1024, 1024^2 or 1024^3);
// nothing when the text is no such size, or is 0 or too large to count.
std::optional<size_t> parseMemorySize(std::string_view text);

// The address space that this process holds now, in bytes; 0 where the platform does not tell.
size_t addressSpaceInUse();

// Caps the address space of this process at bytes. Returns false where the platform has no such
// cap (a build under a sanitizer, whose shadow memory would not fit, or WebAssembly).
bool capMemory(size_t bytes);

}  // namespace relalg

#endif  // RELALG_BASE_MEMORYCEILING_H
