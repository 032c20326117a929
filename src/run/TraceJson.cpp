#include "run/TraceJson.h"

#include "run/RunSequence.h"
#include "run/TraceAnalysis.h"

namespace relalg {

std::string traceJson(const std::function<std::string()>& readInput, size_t limit) {
  TraceAnalysis analysis(limit);
  const RunOutcome outcome = runSequence(analysis.reader(readInput), nullptr, &analysis);
  analysis.finish(outcome);
  return analysis.json();
}

}  // namespace relalg
