// Fuzz target for the notation: the bytes are a notation file. Lowering it either fails with a
// NotationError placed at bytes of the file, or passes the file through unchanged, or gives a
// relalgrun input whose first line is the core line and whose rest is the file's table blocks
// byte for byte. The core parser takes that line without a fault at any node, and every stretch
// of the source map lies inside the line and points at bytes of the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "language/SyntaxTree.h"
#include "notation/Notation.h"
#include "notation/NotationError.h"

using namespace relalg;

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

void checkLowered(std::string_view file, const LoweredInput& lowered) {
  if (lowered.passedThrough) {
    require(lowered.input == file);
    return;
  }
  const std::string& line = lowered.coreLine;
  require(line.find('\n') == std::string::npos);
  require(std::string_view(lowered.input).starts_with(line + "\n"));
  require(file.ends_with(std::string_view(lowered.input).substr(line.size() + 1)));
  const SyntaxTree tree(line);
  for (int node = 0; node < tree.size(); ++node) {
    require(tree.fault(node) == SyntaxTree::Fault::kNone);
  }
  for (const SourceSpan& span : lowered.sourceMap) {
    require(span.coreBegin <= span.coreEnd && span.coreEnd <= line.size());
    require(span.origin.begin <= span.origin.end && span.origin.end <= file.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  try {
    checkLowered(file, lowerNotation(file, Allowlist()));
  } catch (const NotationError& error) {
    require(error.begin() < error.end() && error.begin() <= file.size());
  }
  return 0;
}
