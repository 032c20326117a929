#include "storage/Column.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "base/AdbException.h"
#include "base/Messages.h"

namespace relalg {

namespace {

// A negative index, taken as unsigned, is as out of range as one past the end.
bool validIndex(int index, int size) {
  return static_cast<unsigned>(index) < static_cast<unsigned>(size);
}

// Grows capacity geometrically, so that many small gathers into one column stay linear.
template <class Container>
void reserveMore(Container& container, size_t more) {
  size_t wanted = container.size() + more;
  if (wanted > container.capacity()) {
    container.reserve(std::max(wanted, container.capacity() + container.capacity() / 2));
  }
}

}  // namespace

void Column::throwIndexError(attr_type type) {
  throw AdbException(
      message(type == STRING ? MessageId::kStrColumnIndex : MessageId::kIntColumnIndex));
}

namespace {

// A hash of a value from its length and its first and last eight bytes: enough to tell apart
// the few values of a coded column.
size_t quickHash(std::string_view value) {
  uint64_t head = 0;
  uint64_t tail = 0;
  std::memcpy(&head, value.data(), std::min<size_t>(value.size(), 8));
  if (value.size() > 8) std::memcpy(&tail, value.data() + value.size() - 8, 8);
  uint64_t hash = (head ^ value.size()) * 0x9E3779B97F4A7C15u;
  hash = (hash ^ tail) * 0xC2B2AE3D27D4EB4Fu;
  return static_cast<size_t>(hash ^ (hash >> 31));
}

}  // namespace

int ValueCodes::codeOf(std::string_view value) {
  size_t slot = quickHash(value) & (kSlots - 1);
  for (; slots_[slot] != 0; slot = (slot + 1) & (kSlots - 1)) {
    const size_t code = slots_[slot] - 1u;
    if (this->value(code) == value) return static_cast<int>(code);
  }
  if (size() == kMostValues || value.size() > UINT32_MAX - bytes_.size()) return -1;
  bytes_.append(value);
  starts_.push_back(static_cast<uint32_t>(bytes_.size()));
  slots_[slot] = static_cast<uint16_t>(size());  // 1 + the new code
  return static_cast<int>(size() - 1);
}

StrColumn::StrColumn(std::string name, std::string maxWidth)
    : Column(std::move(name), STRING), offsets_{0}, maxWidth_(std::move(maxWidth)) {}

void StrColumn::becomePlain() {
  assert(coded_);
  const RawVector<uint8_t> codes = std::move(codes_);
  const ValueCodes values = std::move(values_);
  codes_ = {};
  values_ = ValueCodes();
  coded_ = false;
  size_t bytes = 0;
  for (uint8_t code : codes) bytes += values.value(code).size();
  reserve(std::max(reservedRecords_, codes.size()), std::max(reservedBytes_, bytes));
  for (uint8_t code : codes) addVal(values.value(code));
}

size_t StrColumn::bytesAtMost(size_t begin, size_t end) const {
  assert(begin <= end && end <= static_cast<size_t>(getSize()));
  if (coded_) {
    size_t longest = 0;
    for (size_t code = 0; code < values_.size(); ++code) {
      longest = std::max(longest, values_.value(code).size());
    }
    return longest * (end - begin);
  }
  if (wideOffsets_.empty()) return offsets_[end] - offsets_[begin];
  return wideOffsets_[end] - wideOffsets_[begin];
}

size_t StrColumn::valueBytes() const {
  if (!coded_) return bytes_.size();
  size_t sizes[ValueCodes::kMostValues];
  for (size_t code = 0; code < values_.size(); ++code) sizes[code] = values_.value(code).size();
  size_t bytes = 0;
  for (uint8_t code : codes_) bytes += sizes[code];
  return bytes;
}

std::string StrColumn::getVal(int index) const {
  if (!validIndex(index, getSize())) throwIndexError(STRING);
  return std::string(getVal(static_cast<size_t>(index)));
}

std::unique_ptr<Column> StrColumn::clone() const { return std::make_unique<StrColumn>(*this); }

std::unique_ptr<Column> StrColumn::cloneEmpty() const {
  return std::make_unique<StrColumn>(getName(), maxWidth_);
}

// Codes are gathered as codes while every value of the source's codes finds a code here.
void StrColumn::gather(const Column& source, std::span<const uint32_t> rows) {
  const StrColumn& from = asStrings(source);
  if (coded_ && from.coded_) {
    uint8_t codeHere[ValueCodes::kMostValues];
    bool fits = true;
    for (size_t code = 0; fits && code < from.values_.size(); ++code) {
      const int here = values_.codeOf(from.values_.value(code));
      fits = here >= 0;
      codeHere[code] = static_cast<uint8_t>(here);
    }
    if (fits) {
      reserveMore(codes_, rows.size());
      for (uint32_t row : rows) codes_.push_back(codeHere[from.codes_[row]]);
      return;
    }
  }
  if (coded_) becomePlain();
  gatherPlain(from, rows);
}

// Plain values are copied into room made for all of them at once.
void StrColumn::addVals(std::span<const std::string_view> values) {
  size_t k = 0;
  if (coded_) {
    reserveMore(codes_, values.size());
    for (; k < values.size(); ++k) {
      const int code = values_.codeOf(values[k]);
      if (code < 0) break;
      codes_.push_back(static_cast<uint8_t>(code));
    }
    if (k == values.size()) return;
    becomePlain();
  }
  uint64_t bytes = 0;
  for (size_t rest = k; rest < values.size(); ++rest) bytes += values[rest].size();
  if (!wideOffsets_.empty() || bytes > kNarrowLimit - bytes_.size()) {
    for (; k < values.size(); ++k) addVal(values[k]);  // rare: past 32-bit offsets
    return;
  }
  size_t end = bytes_.size();
  reserveMore(offsets_, values.size() - k);
  bytes_.resize(end + static_cast<size_t>(bytes));
  for (; k < values.size(); ++k) {
    copyValueBytes(bytes_.data() + end, values[k].data(), values[k].size());
    end += values[k].size();
    offsets_.push_back(static_cast<uint32_t>(end));
  }
}

// Plain values are appended as one block of bytes with their offsets moved by where it lands.
void StrColumn::append(const Column& source) {
  const StrColumn& from = asStrings(source);
  const size_t count = static_cast<size_t>(from.getSize());
  if (coded_ || from.coded_ || !wideOffsets_.empty() || !from.wideOffsets_.empty() ||
      from.bytes_.size() > kNarrowLimit - bytes_.size()) {
    std::vector<uint32_t> rows(count);
    for (size_t row = 0; row < count; ++row) rows[row] = static_cast<uint32_t>(row);
    gather(from, rows);
    return;
  }
  const uint32_t base = static_cast<uint32_t>(bytes_.size());
  bytes_.insert(bytes_.end(), from.bytes_.begin(), from.bytes_.end());
  const size_t first = offsets_.size();
  offsets_.resize(first + count);
  for (size_t row = 0; row < count; ++row) offsets_[first + row] = base + from.offsets_[row + 1];
}

void StrColumn::gatherPlain(const StrColumn& from, std::span<const uint32_t> rows) {
  assert(!coded_);
  // Summed in 64 bits: where size_t has 32 (WebAssembly), a large gather could wrap to a small
  // size, and the copy below would then run past the bytes. Too many bytes fail as an allocation.
  uint64_t sum = 0;
  for (uint32_t row : rows) sum += from.getVal(size_t{row}).size();
  if (sum > bytes_.max_size() - bytes_.size()) throw std::length_error("StrColumn::gather");
  const size_t bytes = static_cast<size_t>(sum);
  reserve(rows.size(), bytes);
  size_t end = bytes_.size();
  bytes_.resize(end + bytes);
  if (!wideOffsets_.empty() || bytes_.size() > kNarrowLimit) {
    // Rare: the block outgrows 32-bit offsets on the way.
    bytes_.resize(end);
    for (uint32_t row : rows) addVal(from.getVal(size_t{row}));
    return;
  }
  for (uint32_t row : rows) {
    const std::string_view value = from.getVal(size_t{row});
    copyValueBytes(bytes_.data() + end, value.data(), value.size());
    end += value.size();
    offsets_.push_back(static_cast<uint32_t>(end));
  }
}

void StrColumn::reserve(size_t records, size_t bytes) {
  reservedRecords_ = static_cast<size_t>(getSize()) + records;
  reservedBytes_ = (coded_ ? 0 : bytes_.size()) + bytes;
  if (coded_) {
    reserveMore(codes_, records);
  } else if (wideOffsets_.empty()) {
    reserveMore(offsets_, records);
  } else {
    reserveMore(wideOffsets_, records);
  }
  reserveMore(bytes_, bytes);
}

void StrColumn::truncate(size_t records) {
  assert(records <= static_cast<size_t>(getSize()));
  if (coded_) {
    codes_.resize(records);  // a value numbered for the records dropped keeps its code
  } else if (wideOffsets_.empty()) {
    offsets_.resize(records + 1);
    bytes_.resize(offsets_.back());
  } else {
    wideOffsets_.resize(records + 1);
    bytes_.resize(wideOffsets_.back());
  }
}

void StrColumn::keepRows(std::span<const uint32_t> rows) {
  if (coded_) {
    assert(rows.size() <= codes_.size());
    for (size_t k = 0; k < rows.size(); ++k) codes_[k] = codes_[rows[k]];
    codes_.resize(rows.size());
  } else if (wideOffsets_.empty()) {
    keepRowsOf(offsets_, rows);
  } else {
    keepRowsOf(wideOffsets_, rows);
  }
}

// Value k moves from its row down to where value k - 1 now ends. Offsets at indexes above k are
// still the old ones when value k is moved, and offsets[k] is only rewritten before it is read
// when every row below k was kept, which leaves it as it was.
template <class Offsets>
void StrColumn::keepRowsOf(Offsets& offsets, std::span<const uint32_t> rows) {
  using Offset = typename Offsets::value_type;
  assert(rows.size() <= static_cast<size_t>(getSize()));
  size_t end = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    const size_t row = rows[k];
    assert(row >= k && (k == 0 || row > rows[k - 1]));
    const size_t begin = offsets[row];
    const size_t size = offsets[row + 1] - begin;
    if (begin != end) std::memmove(bytes_.data() + end, bytes_.data() + begin, size);
    end += size;
    offsets[k + 1] = static_cast<Offset>(end);
  }
  offsets.resize(rows.size() + 1);
  bytes_.resize(end);
}

void StrColumn::appendWide() {
  if (wideOffsets_.empty()) {
    wideOffsets_.assign(offsets_.begin(), offsets_.end());
    offsets_ = {};
  }
  wideOffsets_.push_back(bytes_.size());
}

IntColumn::IntColumn(std::string name) : Column(std::move(name), INTEGER) {}

int IntColumn::getVal(int index) const {
  if (!validIndex(index, getSize())) throwIndexError(INTEGER);
  return values_[static_cast<size_t>(index)];
}

std::unique_ptr<Column> IntColumn::clone() const { return std::make_unique<IntColumn>(*this); }

std::unique_ptr<Column> IntColumn::cloneEmpty() const {
  return std::make_unique<IntColumn>(getName());
}

void IntColumn::gather(const Column& source, std::span<const uint32_t> rows) {
  const IntColumn& from = asInts(source);
  reserveMore(values_, rows.size());
  for (uint32_t row : rows) values_.push_back(from.values_[row]);
}

void IntColumn::append(const Column& source) { addVals(asInts(source).values_); }

void IntColumn::reserve(size_t records, size_t) { reserveMore(values_, records); }

void IntColumn::truncate(size_t records) {
  assert(records <= values_.size());
  values_.resize(records);
}

void IntColumn::keepRows(std::span<const uint32_t> rows) {
  assert(rows.size() <= values_.size());
  for (size_t k = 0; k < rows.size(); ++k) {
    assert(rows[k] >= k && (k == 0 || rows[k] > rows[k - 1]));
    values_[k] = values_[rows[k]];
  }
  values_.resize(rows.size());
}

}  // namespace relalg
