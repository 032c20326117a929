#include "evaluation/ColumnRanks.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <numeric>
#include <span>
#include <string_view>

namespace relalg {

namespace {

// Distances from the smallest value: a narrow range of values stays within 16 bits.
Ranks integerRanks(const IntColumn& column, size_t count) {
  const int32_t* values = column.data();
  const int64_t smallest = count == 0 ? 0 : *std::min_element(values, values + count);
  Ranks ranks(count);
  for (size_t row = 0; row < count; ++row) {
    ranks[row] = static_cast<uint32_t>(values[row] - smallest);
  }
  return ranks;
}

// A fast hash of a value, eight bytes at a time.
uint64_t hashOf(std::string_view value) {
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  uint64_t hash = value.size() * kMultiplier;
  size_t pos = 0;
  for (; pos + 8 <= value.size(); pos += 8) {
    uint64_t word;
    std::memcpy(&word, value.data() + pos, 8);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 29;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, value.data() + pos, value.size() - pos);
  hash = (hash ^ tail) * kMultiplier;
  return hash ^ (hash >> 32);
}

// Whether a sample of the values holds few enough distinct ones for numbering them through a
// hash table to pay off.
bool fewDistinct(const StrColumn& column, size_t count) {
  constexpr size_t kSample = 4096;
  const size_t sample = std::min(count, kSample);
  std::vector<uint64_t> hashes(sample);
  for (size_t row = 0; row < sample; ++row) hashes[row] = hashOf(column.getVal(row));
  std::sort(hashes.begin(), hashes.end());
  const size_t distinct =
      static_cast<size_t>(std::unique(hashes.begin(), hashes.end()) - hashes.begin());
  return distinct * 4 <= sample;
}

// Numbers each distinct value in the order of first appearance, through an open-addressing
// hash table; firstRows receives the first row of each number.
std::vector<uint32_t> distinctIds(const StrColumn& column, size_t count,
                                  std::vector<uint32_t>& firstRows) {
  size_t capacity = 16;
  while (capacity < count * 2) capacity *= 2;
  std::vector<uint32_t> slots(capacity, 0);  // 1 + id, or 0 for a free slot
  std::vector<uint32_t> ids(count);
  for (size_t row = 0; row < count; ++row) {
    const std::string_view value = column.getVal(row);
    size_t slot = hashOf(value) & (capacity - 1);
    while (slots[slot] != 0 && column.getVal(size_t{firstRows[slots[slot] - 1]}) != value) {
      slot = (slot + 1) & (capacity - 1);
    }
    if (slots[slot] == 0) {
      firstRows.push_back(static_cast<uint32_t>(row));
      slots[slot] = static_cast<uint32_t>(firstRows.size());
    }
    ids[row] = slots[slot] - 1;
  }
  return ids;
}

// count bytes (at most eight) of a value from offset on as a number, padded with zero bytes,
// so that different numbers order their values the way the bytes do.
uint64_t bytesAt(std::string_view value, size_t offset, size_t count) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(value.data());
  uint64_t chunk = 0;
  if (offset + count <= value.size()) {
    for (size_t k = offset; k < offset + count; ++k) chunk = chunk << 8 | bytes[k];
    return chunk;
  }
  for (size_t k = offset; k < offset + count; ++k) {
    chunk = chunk << 8 | (k < value.size() ? bytes[k] : 0u);
  }
  return chunk;
}

// Eleven bytes of a value are compared at a time: an entry then takes sixteen bytes, and values
// such as names and codes of up to eleven bytes are sorted in one round.
constexpr size_t kWidth = 11;
constexpr uint32_t kMostLeft = kWidth + 1;  // bytes left beyond the chunk: more than kWidth

// A value's eleven bytes from a chunk's start as two numbers, the second also holding how many
// bytes it has left from there.
struct Entry {
  uint64_t high;        // bytes 0 .. 7 of the chunk
  uint32_t lowAndLeft;  // bytes 8 .. 10, then the bytes left, capped at kMostLeft
  uint32_t index;
};
static_assert(sizeof(Entry) == 16);

bool before(const Entry& a, const Entry& b) {
  if (a.high != b.high) return a.high < b.high;
  return a.lowAndLeft < b.lowAndLeft;
}

// Digit number digit of an entry's key, the most significant first: the eleven bytes, then the
// count of bytes left.
unsigned digitOf(const Entry& entry, unsigned digit) {
  if (digit < 8) return static_cast<unsigned>(entry.high >> (56 - 8 * digit)) & 0xFF;
  return (entry.lowAndLeft >> (88 - 8 * digit)) & 0xFF;
}

// Sorts entries by their keys, most significant byte first, in place: the entries are counted
// by one byte of their keys, moved into their 256 buckets by following cycles of swaps (no
// scratch memory: fresh pages cost as much as the moves), and each bucket is sorted by the
// bytes after it. A byte that every entry of a range shares costs one counting pass and no
// moves. Short ranges are sorted by comparison. Equal keys may change their order, which the
// ranks do not see. The recursion is at most kDigits deep.
void radixSort(std::span<Entry> entries, unsigned digit) {
  constexpr size_t kShort = 48;
  constexpr unsigned kDigits = 12;
  while (digit < kDigits && entries.size() > kShort) {
    size_t counts[256] = {};
    for (const Entry& entry : entries) ++counts[digitOf(entry, digit)];
    if (counts[digitOf(entries.front(), digit)] == entries.size()) {
      ++digit;  // every entry shares this byte
      continue;
    }
    size_t starts[257];
    starts[0] = 0;
    for (unsigned bucket = 0; bucket < 256; ++bucket) {
      starts[bucket + 1] = starts[bucket] + counts[bucket];
    }
    size_t fill[256];
    std::copy(std::begin(starts), std::begin(starts) + 256, std::begin(fill));
    for (unsigned bucket = 0; bucket < 256; ++bucket) {
      while (fill[bucket] < starts[bucket + 1]) {
        Entry moving = entries[fill[bucket]];
        for (unsigned home = digitOf(moving, digit); home != bucket;
             home = digitOf(moving, digit)) {
          std::swap(moving, entries[fill[home]++]);
        }
        entries[fill[bucket]++] = moving;
      }
    }
    for (unsigned bucket = 0; bucket < 256; ++bucket) {
      if (counts[bucket] > 1) radixSort(entries.subspan(starts[bucket], counts[bucket]), digit + 1);
    }
    return;
  }
  if (digit < kDigits) std::sort(entries.begin(), entries.end(), before);
}

// The ranks of count values. The values are sorted eleven bytes at a time, taken as two
// numbers: by their first eleven bytes, then each run that agrees on them and goes on by the
// next eleven, and so on, so that long shared beginnings are compared as numbers, never byte by
// byte.
// rowOf(k) is the row of the k-th value to sort: an index into a list, or k itself. The order
// holds the numbers k.
template <class RowOf>
ValueOrder sortValues(const StrColumn& column, size_t count, RowOf rowOf) {
  struct Run {
    size_t begin, end, offset;
  };
  // Left unset until written (default-initialised): zeroing them first would touch every page
  // twice.
  const std::unique_ptr<Entry[]> entryStore(new Entry[count]);
  const std::span<Entry> entries(entryStore.get(), count);
  for (uint32_t k = 0; k < entries.size(); ++k) entries[k].index = k;
  std::vector<uint8_t> startsGroup(count, 0);
  std::vector<Run> runs{{0, count, 0}};
  while (!runs.empty()) {
    const Run run = runs.back();
    runs.pop_back();
    for (size_t k = run.begin; k < run.end; ++k) {
      std::string_view value = column.getVal(size_t{rowOf(entries[k].index)});
      const auto left =
          static_cast<uint32_t>(std::min<size_t>(value.size() - run.offset, kMostLeft));
      entries[k].high = bytesAt(value, run.offset, 8);
      entries[k].lowAndLeft = static_cast<uint32_t>(bytesAt(value, run.offset + 8, 3)) << 8 | left;
    }
    const size_t size = run.end - run.begin;
    radixSort(entries.subspan(run.begin, size), 0);
    for (size_t k = run.begin + 1; k < run.end; ++k) {
      if (before(entries[k - 1], entries[k])) startsGroup[k] = 1;
    }
    // Values that agree on this chunk and go on beyond it are told apart by the next chunk.
    for (size_t k = run.begin; k < run.end;) {
      size_t next = k + 1;
      while (next < run.end && !startsGroup[next]) ++next;
      if ((entries[k].lowAndLeft & 0xFF) == kMostLeft && next - k > 1) {
        runs.push_back({k, next, run.offset + kWidth});
      }
      k = next;
    }
  }
  if (count > 0) startsGroup[0] = 1;
  std::vector<uint32_t> order(count);
  for (size_t k = 0; k < count; ++k) order[k] = entries[k].index;
  return {std::move(order), std::move(startsGroup)};
}

template <class RowOf>
Ranks valueRanks(const StrColumn& column, size_t count, RowOf rowOf) {
  const ValueOrder sorted = sortValues(column, count, rowOf);
  Ranks ranks(count);
  uint32_t rank = 0;
  for (size_t k = 0; k < count; ++k) {
    rank += k > 0 && sorted.startsGroup[k];
    ranks[sorted.rows[k]] = rank;
  }
  return ranks;
}

// The rank of each code of a coded column: its distinct values are few and sorted directly.
// Returns how many there are.
uint32_t rankCodes(const StrColumn& column, uint32_t (&rankOfCode)[ValueCodes::kMostValues]) {
  const ValueCodes& values = column.distinctValues();
  std::vector<uint32_t> order(values.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return values.value(a) < values.value(b); });
  for (uint32_t rank = 0; rank < order.size(); ++rank) rankOfCode[order[rank]] = rank;
  return static_cast<uint32_t>(order.size());
}

// A coded column's values rank as its distinct values do.
Ranks codedRanks(const StrColumn& column, size_t count) {
  uint32_t rankOfCode[ValueCodes::kMostValues];
  rankCodes(column, rankOfCode);
  Ranks ranks(count);
  for (size_t row = 0; row < count; ++row) ranks[row] = rankOfCode[column.code(row)];
  return ranks;
}

Ranks stringRanks(const StrColumn& column, size_t count) {
  if (column.coded()) return codedRanks(column, count);
  if (!fewDistinct(column, count)) {
    return valueRanks(column, count, [](uint32_t k) { return k; });
  }
  std::vector<uint32_t> firstRows;
  Ranks ranks = distinctIds(column, count, firstRows);
  const Ranks rankOfId =
      valueRanks(column, firstRows.size(), [&firstRows](uint32_t k) { return firstRows[k]; });
  for (uint32_t& id : ranks) id = rankOfId[id];
  return ranks;
}

}  // namespace

std::optional<ValueOrder> manyValueOrder(const Column& column, size_t count) {
  if (column.getType() != Column::STRING) return std::nullopt;
  const StrColumn& strings = asStrings(column);
  if (strings.coded() || fewDistinct(strings, count)) return std::nullopt;
  return sortValues(strings, count, [](uint32_t k) { return k; });
}

std::optional<DenseRanks> DenseRanks::of(const Column& column, size_t count, uint32_t mostRange) {
  DenseRanks dense;
  int64_t range = 0;
  if (column.getType() == Column::STRING) {
    const StrColumn& strings = asStrings(column);
    if (!strings.coded()) return std::nullopt;
    dense.strings_ = &strings;
    range = rankCodes(strings, dense.rankOfCode_);
  } else {
    const IntColumn& ints = asInts(column);
    dense.ints_ = &ints;
    if (count > 0) {
      const auto [smallest, largest] = std::minmax_element(ints.data(), ints.data() + count);
      dense.smallest_ = *smallest;
      range = int64_t{*largest} - *smallest + 1;
    }
  }
  if (range > mostRange) return std::nullopt;
  dense.range_ = static_cast<uint32_t>(range);
  return dense;
}

Ranks columnRanks(const Column& column, size_t count) {
  if (column.getType() == Column::INTEGER) {
    return integerRanks(asInts(column), count);
  }
  return stringRanks(asStrings(column), count);
}

}  // namespace relalg
