// RecordReader appends the record lines of a text to a table at the pace of their bytes. It is
// built once for a table from the kinds of its columns, and cuts each line into values, reading
// integers as it goes, in one pass over the line's bytes, without a tokenizer or a call per
// value. A line that is not plain (a value that fails, a value count that differs from the
// columns', an integer that stoi reads in its own way, a table at its record limit) is handed to
// Table::addRecord, so that every record read, and every failure with its place, is what
// addRecord gives.
#ifndef RELALG_STORAGE_RECORDREADER_H
#define RELALG_STORAGE_RECORDREADER_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "storage/Table.h"

namespace relalg {

class RecordReader {
 public:
  // The table outlives the reader and gains no column while it reads.
  explicit RecordReader(Table& table);

  // Appends the records of text, whole lines (a line feed ends each, a carriage return before it
  // is part of the line end, a last line may lack it), the first of them line firstLine of the
  // input. Throws the failure of the first line that fails, with its place; the lines before it
  // are appended.
  void readLines(std::string_view text, size_t firstLine);

 private:
  // Lines are cut into values a batch at a time, then appended column by column.
  static constexpr size_t kBatchLines = 1024;

  // A column as the reader writes it: exactly one of the two is set.
  struct Slot {
    IntColumn* ints;
    StrColumn* strings;
  };

  // Cuts the line [pos, end) into the values of line row of the batch; false when the line is
  // not plain.
  bool cut(const char* pos, const char* end, size_t row);
  // The same for a line without apostrophes of fewer than 64 bytes, from the mask of its value
  // bytes.
  bool cutValues(const char* line, uint64_t values, size_t row);
  // Finds the end of the line that starts at pos, sets valuesEnd where its values end, cuts it
  // into the values of line row of the batch (plain tells whether it is), and returns where the
  // next line starts.
  const char* cutLine(const char* pos, const char* end, size_t row, bool& plain,
                      const char*& valuesEnd);
  // Appends the first rows records of the batch.
  void appendBatch(size_t rows);
  // Reads the line [begin, end) of text through Table::addRecord, placing its failure.
  void readThroughTable(std::string_view text, const char* begin, const char* end,
                        size_t firstLine);

  Table& table_;
  std::vector<Slot> slots_;
  // The values cut from the lines of the batch, column by column: value k of batch line row is
  // at k * kBatchLines + row.
  std::vector<std::string_view> strings_;
  std::vector<int32_t> ints_;
};

}  // namespace relalg

#endif  // RELALG_STORAGE_RECORDREADER_H
