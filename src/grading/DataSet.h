// A data set of an exercise: the tables that an expression is evaluated over. A data set read
// from a file keeps the file's own lines below its expression line, which every evaluation reads
// exactly as relalgrun would; a data set made by the grader (generated or shrunk) is written out
// from its values. Either way text() is what an evaluation reads, and tables holds the values.
#ifndef RELALG_GRADING_DATASET_H
#define RELALG_GRADING_DATASET_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace relalg {

struct TableData {
  std::string name;
  std::string header;         // the header line, as relalgrun writes a schema
  std::vector<bool> integer;  // per column: whether it holds integers
  // Per record, the value text of each column as relalgrun writes it.
  std::vector<std::vector<std::string>> records;
};

class DataSet {
 public:
  DataSet() = default;
  // The tables of an input file, below its first line (a byte order mark before it skipped),
  // read as relalgrun reads them: the first table of a name counts. Throws AdbException for a
  // line that relalgrun rejects.
  static DataSet read(std::string name, std::string_view input);
  // A data set of these tables, written out from their values.
  DataSet(std::string name, std::vector<TableData> tables);

  const std::string& name() const { return name_; }
  const std::vector<TableData>& tables() const { return tables_; }
  // The lines that an evaluation reads after an expression line: each table as an empty line,
  // its header line and its record lines.
  const std::string& text() const { return text_; }
  size_t recordCount() const;
  // Whether every table holds its records in ascending order without repeats, as project
  // leaves a table (known for a data set read from a file).
  bool sortedWithoutRepeats() const { return sorted_; }
  // The same tables, each sorted without repeats. Throws AdbException when the text does not
  // read.
  DataSet sorted() const;

 private:
  std::string name_;
  std::vector<TableData> tables_;
  std::string text_;
  bool sorted_ = false;
};

// The first line of a submission's bytes, a UTF-8 byte order mark before it skipped, as
// relalgrun reads an expression line.
std::string firstLine(std::string_view input);

// Where the tables of other differ from those of the exercise (names and header lines, in
// order), or empty when they are the same.
std::string tableDifference(const DataSet& exercise, const DataSet& other);

}  // namespace relalg

#endif  // RELALG_GRADING_DATASET_H
