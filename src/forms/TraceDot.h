// The expression tree of one run as a Graphviz graph, for relalgtrace --dot: each expression node
// is a box with its operator, the table it produced and its record count; the failing node is
// drawn red, a node with warnings orange and a node never evaluated dashed. Edges lead to the
// operands.
#ifndef RELALG_FORMS_TRACEDOT_H
#define RELALG_FORMS_TRACEDOT_H

#include <string>

#include "diagnostics/TraceAnalysis.h"
#include "forms/NodeSources.h"

namespace relalg {

// The graph of a finished analysis. With a source view (the run of a lowered notation file), the
// core nodes stand in clusters, one per notation node they lower, labelled with its line and
// text, and the nodes of scaffolding are drawn grey.
std::string traceDot(const TraceAnalysis& analysis, const SourceView* view = nullptr);

}  // namespace relalg

#endif  // RELALG_FORMS_TRACEDOT_H
