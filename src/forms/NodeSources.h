// NodeSources tells the forms of a trace where the bytes of an expression line come from when a
// front end wrote the line (the notation lowers a program to one): stretches of the line, each
// with a group (the source construct that produced it, such as one σ of the program), whether it
// is user material (the counterpart of what the user wrote) or scaffolding (what the front end
// added), and its place in the source file. Stretches nest or stand apart; a stretch comes after
// every stretch that encloses it. The forms read it, and never learn what the source language is.
#ifndef RELALG_FORMS_NODESOURCES_H
#define RELALG_FORMS_NODESOURCES_H

#include <cstddef>
#include <string>
#include <vector>

#include "diagnostics/Diagnostics.h"

namespace relalg {

// A place in the source file: its line (from 1), its column and length in bytes of that line and
// in letters (as diagnostics count them).
struct SourcePlace {
  size_t line = 1;
  size_t column = 1;
  size_t length = 1;
  size_t letterColumn = 1;
  size_t letterLength = 1;
};

struct SourceGroup {
  std::string text;  // the construct as written (UTF-8), shortened when long
  std::string step;  // the name of the step whose definition it is, or empty
  SourcePlace place;
};

struct SourceStretch {
  size_t begin;  // bytes of the expression line
  size_t end;
  int group;
  bool user;
  size_t sourceBegin;  // bytes of the source file
  size_t sourceEnd;
  SourcePlace place;  // of sourceBegin, cut at the end of its line
};

class NodeSources {
 public:
  NodeSources() = default;
  NodeSources(std::vector<SourceStretch> stretches, std::vector<SourceGroup> groups);

  // The innermost stretch that holds the bytes [begin, end) of the line, or null.
  const SourceStretch* of(size_t begin, size_t end) const;
  const std::vector<SourceGroup>& groups() const { return groups_; }
  bool empty() const { return stretches_.empty(); }

 private:
  std::vector<SourceStretch> stretches_;
  std::vector<int> enclosing_;  // per stretch: the innermost stretch around it, or -1
  std::vector<SourceGroup> groups_;
};

// What the forms show of a run whose expression line a front end wrote: the line, where its
// nodes come from, and the run's diagnostics as placed in the source file.
struct SourceView {
  std::string coreLine;
  NodeSources nodes;
  std::vector<Diagnostic> diagnostics;
};

}  // namespace relalg

#endif  // RELALG_FORMS_NODESOURCES_H
