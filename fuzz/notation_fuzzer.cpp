// Fuzz target for the notation: the bytes are a notation file. Lowering it either fails with a
// NotationError placed at bytes of the file, or passes the file through unchanged, or gives a
// relalgrun input whose first line is the core line and whose rest is the file's table blocks
// byte for byte. The core parser takes that line without a fault at any node, and every stretch
// of the source map lies inside the line and points at bytes of the file; every expression node
// of the line has a notation node, and a diagnostic at any byte of the line lands on a line of
// the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "language/SyntaxTree.h"
#include "notation/Notation.h"
#include "notation/NotationError.h"
#include "notation/NotationPlaces.h"

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
  const NotationPlaces places(lowered, file);
  const NodeSources sources = places.nodeSources();
  for (int node = 0; node < tree.size(); ++node) {
    if (tree.isExpression(node)) require(sources.of(tree.begin(node), tree.end(node)) != nullptr);
  }
  std::vector<Diagnostic> said;
  for (size_t k = 0; k < line.size(); k += 1 + line.size() / 64) {
    said.push_back({Diagnostic::kError, 1, k + 1, 1, "at"});
  }
  const size_t lines = static_cast<size_t>(std::count(file.begin(), file.end(), '\n')) + 1;
  for (const Diagnostic& placed : places.place(said, "")) {
    require(placed.line >= 1 && placed.line <= lines && placed.letterColumn >= 1);
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
