// An exercise file is an input file whose first line is the reference expression and whose tables
// are the data set that the students see. On lines of their own above its first empty line it may
// also declare, for the grader and the exercise's link:
//   -- title: TEXT        the exercise's title (by default, the file's name)
//   -- task: TEXT         a line of the task's text, the lines in order
//   -- requires: TEXT     requirements on the exercise's databases (grading/Constraints.h)
// takeDeclarations() takes such lines out, wherever they stand above the first empty line, so that
// what is left reads as any input file does: the reference first, then the tables.
#ifndef RELALG_GRADING_EXERCISEFILE_H
#define RELALG_GRADING_EXERCISEFILE_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "grading/Constraints.h"
#include "grading/DataSet.h"

namespace relalg {

struct ExerciseDeclarations {
  struct Line {
    size_t number;     // from 1, in the file as written
    std::string text;  // after the colon, without the blanks around it
  };
  std::string title;
  std::vector<std::string> task;
  std::vector<Line> requirements;
};

// Takes the declaration lines out of an exercise file's bytes and returns what they declare.
ExerciseDeclarations takeDeclarations(std::string& bytes);

// Reads the requirements of the exercise at path, whose data sets given are (its own first), into
// constraints; returns the message of a requirement that cannot be read or of the first given
// data set that breaks one.
std::optional<std::string> readConstraints(const ExerciseDeclarations& declared,
                                           const std::string& path,
                                           const std::vector<DataSet>& given,
                                           Constraints& constraints);

}  // namespace relalg

#endif  // RELALG_GRADING_EXERCISEFILE_H
