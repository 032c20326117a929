// A column holds one typed value per record of its table: record i of a table is the value at
// index i of every one of its columns. Columns grow at their end; only a table undoing a record
// that failed half way, or keeping the records that a selection chose, shortens them. There are
// two kinds, StrColumn and IntColumn; code tells them apart by getType() alone, and converts a
// Column to its kind with asStrings or asInts.
#ifndef RELALG_STORAGE_COLUMN_H
#define RELALG_STORAGE_COLUMN_H

#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/RawVector.h"

namespace relalg {

// Copies a value's bytes; the short values that are most common are copied without a library
// call.
inline void copyValueBytes(char* to, const char* from, size_t size) {
  if (size >= 8 && size <= 16) {
    std::memcpy(to, from, 8);
    std::memcpy(to + size - 8, from + size - 8, 8);
  } else if (size >= 4 && size < 8) {
    std::memcpy(to, from, 4);
    std::memcpy(to + size - 4, from + size - 4, 4);
  } else {
    std::memcpy(to, from, size);
  }
}

// Each operation has one name: getName, setName, getType, getSize, getVal, addVal and getMaxWidth
// as the system's documents name them. getVal has two forms: getVal(int index), which checks the
// index and gives a copy, and getVal(size_t row), the engine's read of a row that must exist
// (asserted), which gives the value itself (a view for strings). The other members are
// whole-column operations.
class Column {
 public:
  enum attr_type { STRING = 0, INTEGER = 1 };

  virtual ~Column() = default;
  Column& operator=(const Column&) = delete;

  const std::string& getName() const { return name_; }
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
  // Appends every value of source (a column of the same kind), in order.
  virtual void append(const Column& source) = 0;
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

// The distinct values of a string column that holds few of them, numbered in the order they
// came: a column keeps a one-byte code per value instead of the value's bytes while it has at
// most kMostValues distinct values.
class ValueCodes {
 public:
  static constexpr size_t kMostValues = 256;

  size_t size() const { return starts_.size() - 1; }
  std::string_view value(size_t code) const {
    return {bytes_.data() + starts_[code], starts_[code + 1] - starts_[code]};
  }
  // The code of value, numbered anew when it is not there yet; -1 when it is not there and
  // kMostValues values are.
  int codeOf(std::string_view value);

 private:
  static constexpr size_t kSlots = 2 * kMostValues;

  std::string bytes_;
  std::vector<uint32_t> starts_{0};  // value c spans [starts_[c], starts_[c + 1])
  uint16_t slots_[kSlots] = {};      // open addressing by a hash of the value: 1 + code, 0 free
};

// String values are kept in one of two ways, so that appending, comparing and gathering values
// never allocates per value. While the column has few distinct values, each value is a one-byte
// code into ValueCodes (coded). From the first value beyond those, for good, the values are kept
// end to end in one byte block with the offset where each ends (plain); offsets take 32 bits
// each until the block outgrows that, and 64 bits from then on.
class StrColumn : public Column {
 public:
  StrColumn(std::string name, std::string maxWidth);
  StrColumn(const StrColumn&) = default;

  // A copy of the value at index; throws AdbException for an index outside 0 .. getSize()-1.
  std::string getVal(int index) const;
  // The value at a row that exists, as a view that lasts until the next addVal.
  std::string_view getVal(size_t row) const {
    assert(row < static_cast<size_t>(getSize()));
    if (coded_) return values_.value(codes_[row]);
    if (wideOffsets_.empty()) {
      return {bytes_.data() + offsets_[row], offsets_[row + 1] - offsets_[row]};
    }
    return {bytes_.data() + wideOffsets_[row], wideOffsets_[row + 1] - wideOffsets_[row]};
  }
  // Appends the value; returns 1.
  int addVal(std::string_view value) {
    if (coded_) {
      const int code = values_.codeOf(value);
      if (code >= 0) {
        codes_.push_back(static_cast<uint8_t>(code));
        return 1;
      }
      becomePlain();
    }
    bytes_.insert(bytes_.end(), value.begin(), value.end());
    if (wideOffsets_.empty() && bytes_.size() <= kNarrowLimit) {
      offsets_.push_back(static_cast<uint32_t>(bytes_.size()));
    } else {
      appendWide();
    }
    return 1;
  }
  // Appends the values in order.
  void addVals(std::span<const std::string_view> values);
  const std::string& getMaxWidth() const { return maxWidth_; }
  int getSize() const override {
    if (coded_) return static_cast<int>(codes_.size());
    return static_cast<int>((wideOffsets_.empty() ? offsets_.size() : wideOffsets_.size()) - 1);
  }

  // At least the bytes that the values at indexes begin .. end-1 take.
  size_t bytesAtMost(size_t begin, size_t end) const;
  // Whether the values are codes into distinctValues(); code(i) is value i's.
  bool coded() const { return coded_; }
  uint8_t code(size_t index) const { return codes_[index]; }
  const ValueCodes& distinctValues() const { return values_; }

  std::unique_ptr<Column> clone() const override;
  std::unique_ptr<Column> cloneEmpty() const override;
  void gather(const Column& source, std::span<const uint32_t> rows) override;
  void append(const Column& source) override;
  void reserve(size_t records, size_t bytes) override;
  size_t valueBytes() const override;
  void truncate(size_t records) override;
  void keepRows(std::span<const uint32_t> rows) override;

 private:
  static constexpr size_t kNarrowLimit = UINT32_MAX;

  // Turns the codes into plain values, with the room that the last reserve asked for.
  void becomePlain();
  void appendWide();
  void gatherPlain(const StrColumn& from, std::span<const uint32_t> rows);
  template <class Offsets>
  void keepRowsOf(Offsets& offsets, std::span<const uint32_t> rows);

  bool coded_ = true;
  RawVector<uint8_t> codes_;
  ValueCodes values_;
  size_t reservedRecords_ = 0;  // what the last reserve asked for, kept for becomePlain
  size_t reservedBytes_ = 0;
  RawVector<char> bytes_;
  RawVector<uint32_t> offsets_;      // value i spans [offsets_[i], offsets_[i + 1])
  std::vector<size_t> wideOffsets_;  // replaces offsets_ once the bytes outgrow 32 bits
  std::string maxWidth_;
};

class IntColumn : public Column {
 public:
  explicit IntColumn(std::string name);
  IntColumn(const IntColumn&) = default;

  // The value at index; throws AdbException for an index outside 0 .. getSize()-1.
  int getVal(int index) const;
  // The value at a row that exists.
  int getVal(size_t row) const {
    assert(row < values_.size());
    return values_[row];
  }
  // Appends the value; returns 1.
  int addVal(int value) {
    values_.push_back(value);
    return 1;
  }
  // Appends the values in order.
  void addVals(std::span<const int32_t> values) {
    values_.insert(values_.end(), values.begin(), values.end());
  }
  int getSize() const override { return static_cast<int>(values_.size()); }

  const int32_t* data() const { return values_.data(); }

  std::unique_ptr<Column> clone() const override;
  std::unique_ptr<Column> cloneEmpty() const override;
  void gather(const Column& source, std::span<const uint32_t> rows) override;
  void append(const Column& source) override;
  void reserve(size_t records, size_t bytes) override;
  size_t valueBytes() const override { return 0; }
  void truncate(size_t records) override;
  void keepRows(std::span<const uint32_t> rows) override;

 private:
  RawVector<int32_t> values_;
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

}  // namespace relalg

#endif  // RELALG_STORAGE_COLUMN_H
