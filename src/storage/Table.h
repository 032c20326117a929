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
#include <vector>

#include "storage/Column.h"

namespace relalg {

// The name of every table that union, minus, product, project and sorting produce.
std::string resultTableName();

class Table {
 public:
  // ---- The documented interface: the members as the system's documents name them. They take
  // and give copies and check what they are given; the library's own members below serve them.

  // Parses a header line: the table's name, then per column a name and a type word, which is
  // either int or any other word followed by a width text. Throws AdbException without a name.
  explicit Table(std::string headerLine);
  Table(const Table& other);
  Table& operator=(const Table&) = delete;
  ~Table();

  std::string getName() const { return name(); }
  // The record count: the value count of the first column, 0 for a table without columns.
  int recordCount() const { return columns_.empty() ? 0 : columns_.front()->getSize(); }
  // Returns the first column of exactly that name, or null.
  Column* getColumnByName(std::string_view name) const;
  std::string getval_s(std::string name, int index);
  int getval_i(std::string name, int index);
  // Appends an empty column. Throws AdbException when the table already holds records, which
  // the new column would lack.
  void add_column(std::string name, Column::attr_type type, std::string width);
  // Appends one record from a record line, as appendRecord does; returns 1.
  int addRecord(std::string line) { return appendRecord(line); }
  // The values of one record joined by commas.
  std::string getRecord(int index) const;
  // The schema text, such as (name char(20), age int); the table's name when it has no columns.
  std::string fingerPrint() const;
  // The name and schema text on one line, then one line per record.
  std::string toString() const;

  // ---- The library's own members.

  // A table of the given columns, which must hold equally many values.
  Table(std::string name, std::vector<std::unique_ptr<Column>> columns);
  const std::string& name() const { return name_; }
  // Replaces the table's name (renaming; the columns keep theirs).
  void setName(std::string name) { name_ = std::move(name); }
  const std::vector<std::unique_ptr<Column>>& columns() const { return columns_; }

  // Appends one record from a record line: one token per column, integers read by stoi. All or
  // nothing: a line that fails leaves the table as it was, and its failure carries the column
  // and length of the bytes at fault (no line).
  int appendRecord(std::string_view line);
  void reserveRecords(size_t records, size_t bytes);
  // Appends the record text of record index to out.
  void appendRecordText(std::string& out, size_t index) const;
  // Appends the records begin .. end-1 to out, each as its record text and a line feed.
  void appendRecordLines(std::string& out, size_t begin, size_t end) const;
  // Writes toString() to out, a block at a time.
  void writeText(std::ostream& out) const;

  // Whether other has this table's columns: equal schema texts, and kinds that agree position by
  // position (apostrophes in names can make different schemas print the same text).
  bool sameSchema(const Table& other) const;
  // A new table of the given name with empty copies of this table's columns.
  std::unique_ptr<Table> emptyLike(std::string name) const;
  // Appends the records at the given indexes of source, a table of the same columns.
  void gatherRows(const Table& source, std::span<const uint32_t> rows);
  // Keeps only the records at the given indexes, which ascend strictly, in place.
  void keepRows(std::span<const uint32_t> rows);
  // Drops every record; the columns keep the room they had.
  void clearRecords();
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
