// Table is the system's relation: a name and an ordered list of typed columns that together hold
// the records. Record i is the value at index i of every column; records are only appended, and
// every column always holds the same number of values (a record that fails half way is undone).
// Tables are built from a header line such as emp(name char(20), age int) and filled from record
// lines such as 'Zova Bela', 42. A table only stores: the relational operators over tables are
// the evaluation's (evaluation/TableOrdering.h, TableOperators.h, TableSelect.h).
#ifndef RELALG_STORAGE_TABLE_H
#define RELALG_STORAGE_TABLE_H

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/RawVector.h"
#include "storage/Column.h"

namespace relalg {

// The name of every table that union, minus, product, project and sorting produce.
std::string resultTableName();

class Table {
 public:
  // Each operation has one name, as the system's documents name them where they do; where the
  // engine needs another signature (a row index, a buffer to append to, a stream), it is an
  // overload of that name.

  // Parses a header line: the table's name, then per column a name and a type word, which is
  // either int or any other word followed by a width text. Throws AdbException without a name.
  explicit Table(std::string headerLine);
  // A table of the given columns, which must hold equally many values.
  Table(std::string name, std::vector<std::unique_ptr<Column>> columns);
  Table(const Table& other);
  Table& operator=(const Table&) = delete;
  ~Table();

  const std::string& getName() const { return name_; }
  // Replaces the table's name (renaming; the columns keep theirs).
  void setName(std::string name) { name_ = std::move(name); }
  const std::vector<std::unique_ptr<Column>>& columns() const { return columns_; }
  // The record count: the value count of the first column, 0 for a table without columns.
  int recordCount() const { return columns_.empty() ? 0 : columns_.front()->getSize(); }
  // Returns the first column of exactly that name, or null.
  Column* getColumnByName(std::string_view name) const;
  // The value of a record in the string or integer column of that name; throws AdbException
  // when there is no such column of that kind, or no such record.
  std::string getval_s(std::string name, int index);
  int getval_i(std::string name, int index);
  // Appends an empty column. Throws AdbException when the table already holds records, which
  // the new column would lack.
  void add_column(std::string name, Column::attr_type type, std::string width);

  // Appends one record from a record line: one token per column, integers read by stoi; returns
  // 1. All or nothing: a line that fails leaves the table as it was, and its failure carries the
  // column and length of the bytes at fault (no line).
  int addRecord(std::string_view line);
  void reserveRecords(size_t records, size_t bytes);

  // The values of one record joined by commas; throws AdbException for no such record.
  std::string getRecord(int index) const;
  // Appends the record text of a row that exists to out.
  void getRecord(size_t row, std::string& out) const;
  // Appends the records begin .. end-1 to out, each as its record text and a line feed.
  void appendRecordLines(RawVector<char>& out, size_t begin, size_t end) const;
  // The schema text, such as (name char(20), age int); the table's name when it has no columns.
  std::string fingerPrint() const;
  // The name and schema text on one line, then one line per record.
  std::string toString() const;
  // Writes the same text to out, a block at a time.
  void toString(std::ostream& out) const;

  // Whether other has this table's columns: equal schema texts, and kinds that agree position by
  // position (apostrophes in names can make different schemas print the same text).
  bool sameSchema(const Table& other) const;
  // A new table of the given name with empty copies of this table's columns.
  std::unique_ptr<Table> emptyLike(std::string name) const;
  // Appends the records at the given indexes of source, a table of the same columns.
  void gatherRows(const Table& source, std::span<const uint32_t> rows);
  // Appends every record of source, a table of the same columns.
  void appendRecords(const Table& source);
  // Keeps only the records at the given indexes, which ascend strictly, in place.
  void keepRows(std::span<const uint32_t> rows);
  // Drops every record; the columns keep the room they had.
  void clearRecords();
  // Gives up every column and leaves the table without any: for an operator whose result takes
  // over the values of an operand that nobody reads afterwards.
  std::vector<std::unique_ptr<Column>> takeColumns() { return std::exchange(columns_, {}); }
  // Throws the first column's getVal failure unless index is a record of this table (a table
  // without columns has no values to read).
  void checkIndex(int index) const;

 private:
  // Whether every column holds as many values as the first.
  bool columnsEven() const;
  // Drops the values beyond the first count of each column.
  void dropValuesFrom(int count);

  std::string name_;
  std::vector<std::unique_ptr<Column>> columns_;
};

// The values of record row, each as relalgrun writes it.
std::vector<std::string> recordValues(const Table& table, size_t row);

// The type of a column as the schema text shows it: "int", or "char(W)" with its width text.
std::string columnTypeText(const Column& column);

}  // namespace relalg

#endif  // RELALG_STORAGE_TABLE_H
