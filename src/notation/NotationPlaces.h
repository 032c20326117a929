// NotationPlaces carries what is said of a lowered input back to the notation file it came from:
// the diagnostics of a run of the lowered input (placed at bytes of its core line or of its
// table blocks) move to the notation bytes that produced them, and the forms of a trace learn
// for every core node its notation node and whether it is user material or scaffolding.
//
// A diagnostic of the core line moves to the innermost notation origin of its bytes: a name or a
// constant to its own letters, a core node to the operator of the notation node it lowers. A
// warning or note whose bytes are scaffolding is left out: it speaks of what the lowering added,
// which the user never wrote and cannot change. A core failure keeps relalgrun's message and
// gains its meaning. The fresh names of the lowering are written as what they stand for
// (dno_1 as dept.dno). A diagnostic of the table blocks moves down by the program's extra lines.
// A file passed through is its own lowering: its diagnostics stay as they are.
#ifndef RELALG_NOTATION_NOTATIONPLACES_H
#define RELALG_NOTATION_NOTATIONPLACES_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/Diagnostics.h"
#include "diagnostics/TraceAnalysis.h"
#include "forms/NodeSources.h"
#include "notation/Notation.h"
#include "notation/NotationError.h"

namespace relalg {

class NotationPlaces {
 public:
  // Both must outlive this object.
  NotationPlaces(const LoweredInput& lowered, std::string_view file);

  // The diagnostics of a run of the lowered input, placed in the file, in the order of their
  // place, with their letters set; an error of the core line is the run's failure, whose
  // meaning in English is failureMeaning.
  std::vector<Diagnostic> place(const std::vector<Diagnostic>& diagnostics,
                                std::string_view failureMeaning) const;
  // What the forms of a trace need to group the core nodes (empty for a file passed through).
  NodeSources nodeSources() const;
  // What the forms show of a finished analysis of a run of the lowered input: the core line, the
  // node sources and the run's diagnostics placed in the file.
  SourceView view(const TraceAnalysis& analysis) const;
  // The text with every fresh name of the lowering replaced by the column it stands for; text is
  // UTF-8 where utf8 is set, else bytes as the core line holds them.
  std::string translated(std::string_view text, bool utf8) const;

 private:
  // The place in the file of the notation bytes [begin, end), cut at the end of its line.
  SourcePlace sourcePlace(size_t begin, size_t end) const;
  // A diagnostic of the core line placed in the file, or nothing for one left out.
  std::optional<Diagnostic> placeCoreDiagnostic(const Diagnostic& diagnostic,
                                                std::string_view failureMeaning) const;

  const LoweredInput& lowered_;
  std::string_view file_;
  std::vector<size_t> lineStarts_;  // the first byte of every line of the file
  size_t tableLineShift_ = 0;       // the file's line of a table-block line is its line + this
  NodeSources sources_;             // the core line's stretches by notation node
};

// A notation error as a diagnostic placed in the file, with its letters set.
Diagnostic notationDiagnostic(const NotationError& error, std::string_view file);

}  // namespace relalg

#endif  // RELALG_NOTATION_NOTATIONPLACES_H
