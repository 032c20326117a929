#include "sql/SqlScript.h"

#include "sql/SqlQuery.h"
#include "sql/SqlRecorder.h"

namespace relalg {

SqlScript sqlScript(const std::function<std::string()>& readInput) {
  SqlRecorder recorder;
  SqlScript result;
  result.outcome = runSequence(readInput, nullptr, &recorder);
  if (result.outcome.status != RunOutcome::kSuccess) return result;
  SqlQuery writer(recorder);
  const std::string query = writer.text();
  result.inexactReason =
      !recorder.inexactReason().empty() ? recorder.inexactReason() : writer.inexactReason();
  if (!result.inexactReason.empty()) result.script = "-- inexact: " + result.inexactReason + "\n";
  result.script +=
      "-- The result of relalgrun, record by record: run in sqlite3 with\n"
      "-- .mode list and .separator , to see its record lines.\n";
  result.script += recorder.declarations();
  result.script += query;
  return result;
}

}  // namespace relalg
