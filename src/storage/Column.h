// A column holds one typed value per record of its table: record i of a table is the value at
// index i of every one of its columns. Columns grow at their end; only a table undoing a record
// that failed half way shortens them. There are two kinds, StrColumn and IntColumn; code tells
// them apart by getType() alone, and converts a Column to its kind with asStrings or asInts.
#ifndef RELALG_STORAGE_COLUMN_H
#define RELALG_STORAGE_COLUMN_H

#include <cassert>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class Column {
 public:
  enum attr_type { STRING = 0, INTEGER = 1 };

  virtual ~Column() = default;
  Column& operator=(const Column&) = delete;

  std::string getName() const { return name_; }
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  attr_type getType() const { return type_; }
  virtual int getSize() const = 0;
  // Throws the failure of getVal for an index outside the values of a column of this type.
  [[noreturn]] static void throwIndexError(attr_type type);

  // A copy of this column: name, kind, width text and every value.
  virtual std::unique_ptr<Column> clone() const = 0;
  // A column of the same name, kind and width text, without values.
  virtual std::unique_ptr<Column> cloneEmpty() const = 0;
  // Appends the values of source (a column of the same kind) at the given record indexes.
  virtual void gather(const Column& source, std::span<const uint32_t> rows) = 0;
  virtual void reserve(size_t records, size_t bytes) = 0;
  // The bytes that the values take, for reserving room for copies of them: the text of the
  // strings, none for integers.
  virtual size_t valueBytes() const = 0;
  // Drops the values from index records on.
  virtual void truncate(size_t records) = 0;
  // Keeps only the values at the given indexes, which ascend strictly, in their order, moving
  // them down in place: no new room is taken.
  virtual void keepRows(std::span<const uint32_t> rows) = 0;

 protected:
  Column(std::string name, attr_type type) : name_(std::move(name)), type_(type) {}
  Column(const Column&) = default;

 private:
  std::string name_;
  attr_type type_;
};

// String values are kept end to end in one byte block with the offset where each ends, so that
// appending, comparing and gathering values never allocates per value. Offsets take 32 bits
// each until the block outgrows that, and 64 bits from then on.
class StrColumn : public Column {
 public:
  StrColumn(std::string name, std::string maxWidth);
  StrColumn(const StrColumn&) = default;

  // Throws AdbException for an index outside 0 .. getSize()-1.
  std::string getVal(int index) const;
  int addVal(std::string value);
  std::string getMaxWidth() const { return maxWidth_; }
  const std::string& maxWidth() const { return maxWidth_; }
  int getSize() const override {
    return static_cast<int>((wideOffsets_.empty() ? offsets_.size() : wideOffsets_.size()) - 1);
  }

  // The value at a valid index, as a view that lasts until the next append.
  std::string_view view(size_t index) const {
    if (wideOffsets_.empty()) {
      return {bytes_.data() + offsets_[index], offsets_[index + 1] - offsets_[index]};
    }
    return {bytes_.data() + wideOffsets_[index], wideOffsets_[index + 1] - wideOffsets_[index]};
  }
  void append(std::string_view value) {
    bytes_.append(value);
    if (wideOffsets_.empty() && bytes_.size() <= kNarrowLimit) {
      offsets_.push_back(static_cast<uint32_t>(bytes_.size()));
    } else {
      appendWide();
    }
  }

  std::unique_ptr<Column> clone() const override;
  std::unique_ptr<Column> cloneEmpty() const override;
  void gather(const Column& source, std::span<const uint32_t> rows) override;
  void reserve(size_t records, size_t bytes) override;
  size_t valueBytes() const override { return bytes_.size(); }
  void truncate(size_t records) override;
  void keepRows(std::span<const uint32_t> rows) override;

 private:
  static constexpr size_t kNarrowLimit = UINT32_MAX;

  void appendWide();
  template <class Offset>
  void keepRowsOf(std::vector<Offset>& offsets, std::span<const uint32_t> rows);

  std::string bytes_;
  std::vector<uint32_t> offsets_;    // value i spans [offsets_[i], offsets_[i + 1])
  std::vector<size_t> wideOffsets_;  // replaces offsets_ once the bytes outgrow 32 bits
  std::string maxWidth_;
};

class IntColumn : public Column {
 public:
  explicit IntColumn(std::string name);
  IntColumn(const IntColumn&) = default;

  // Throws AdbException for an index outside 0 .. getSize()-1.
  int getVal(int index) const;
  int addVal(int value) {
    values_.push_back(value);
    return 1;
  }
  int getSize() const override { return static_cast<int>(values_.size()); }

  int value(size_t index) const { return values_[index]; }
  const int32_t* data() const { return values_.data(); }

  std::unique_ptr<Column> clone() const override;
  std::unique_ptr<Column> cloneEmpty() const override;
  void gather(const Column& source, std::span<const uint32_t> rows) override;
  void reserve(size_t records, size_t bytes) override;
  size_t valueBytes() const override { return 0; }
  void truncate(size_t records) override;
  void keepRows(std::span<const uint32_t> rows) override;

 private:
  std::vector<int32_t> values_;
};

// The column as the kind that its type says it is.
inline const StrColumn& asStrings(const Column& column) {
  assert(column.getType() == Column::STRING);
  return static_cast<const StrColumn&>(column);
}
inline StrColumn& asStrings(Column& column) {
  assert(column.getType() == Column::STRING);
  return static_cast<StrColumn&>(column);
}
inline const IntColumn& asInts(const Column& column) {
  assert(column.getType() == Column::INTEGER);
  return static_cast<const IntColumn&>(column);
}
inline IntColumn& asInts(Column& column) {
  assert(column.getType() == Column::INTEGER);
  return static_cast<IntColumn&>(column);
}

#endif  // RELALG_STORAGE_COLUMN_H
