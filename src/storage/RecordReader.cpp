#include "storage/RecordReader.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <span>

#include "base/AdbException.h"
#include "base/ByteChunk.h"
#include "language/StringTokenizer.h"

namespace relalg {

namespace {

const char* skipSeparators(const char* pos, const char* end) {
  while (pos < end && isUsualSeparator(*pos)) ++pos;
  return pos;
}

// The end of the value that starts at pos: the first separator outside apostrophes, or end. An
// apostrophe without a partner quotes the rest of the line.
const char* valueEnd(const char* pos, const char* end) {
  return tokenEnd(kDefaultByteClasses.data(), kQuote, pos, end);
}

// Reads the integer text [pos, end) as stoi does, where it is plain: an optional minus sign and
// one to ten digits within the 32-bit range. False where it is not plain.
bool readInteger(const char* pos, const char* end, int32_t& value) {
  const bool negative = *pos == '-';
  pos += negative;
  if (pos == end || end - pos > 10) return false;
  uint64_t magnitude = 0;
  for (; pos < end; ++pos) {
    const unsigned digit = static_cast<unsigned char>(*pos - '0');
    if (digit > 9) return false;
    magnitude = magnitude * 10 + digit;
  }
  if (magnitude > (negative ? uint64_t{INT_MAX} + 1 : uint64_t{INT_MAX})) return false;
  value = static_cast<int32_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

}  // namespace

RecordReader::RecordReader(Table& table) : table_(table) {
  for (const auto& column : table.columns()) {
    if (column->getType() == Column::INTEGER) {
      slots_.push_back({&asInts(*column), nullptr});
    } else {
      slots_.push_back({nullptr, &asStrings(*column)});
    }
  }
  strings_.resize(slots_.size() * kBatchLines);
  ints_.resize(slots_.size() * kBatchLines);
}

bool RecordReader::cut(const char* pos, const char* end, size_t row) {
  for (size_t k = 0; k < slots_.size(); ++k) {
    pos = skipSeparators(pos, end);
    if (pos == end) return false;
    const char* const begin = pos;
    pos = valueEnd(pos, end);
    if (slots_[k].ints != nullptr) {
      if (!readInteger(begin, pos, ints_[k * kBatchLines + row])) return false;
    } else {
      strings_[k * kBatchLines + row] = std::string_view(begin, static_cast<size_t>(pos - begin));
    }
  }
  return skipSeparators(pos, end) == end;
}

// Bit k of values is set where byte k of the line holds a value's byte (not a separator, and
// before the line's end). With no apostrophe in the line, each run of set bits is a value.
bool RecordReader::cutValues(const char* line, uint64_t values, size_t row) {
  for (size_t k = 0; k < slots_.size(); ++k) {
    if (values == 0) return false;
    const int begin = std::countr_zero(values);
    const int length = std::countr_one(values >> begin);
    values &= ~uint64_t{0} << (begin + length);  // the line's end leaves bit 63 clear
    if (slots_[k].ints != nullptr) {
      if (!readInteger(line + begin, line + begin + length, ints_[k * kBatchLines + row])) {
        return false;
      }
    } else {
      strings_[k * kBatchLines + row] = std::string_view(line + begin, static_cast<size_t>(length));
    }
  }
  return values == 0;
}

static_assert(kSeparators == " ,()", "the masks below name the separators one by one");

// A line of fewer than 64 bytes, with 64 bytes of the text from its start on, is cut from the
// masks of its bytes; any other line byte by byte.
const char* RecordReader::cutLine(const char* pos, const char* end, size_t row, bool& plain,
                                  const char*& valuesEnd) {
  if (end - pos >= 64) {
    uint64_t separators = 0;
    uint64_t quotes = 0;
    uint64_t feeds = 0;
    for (int at = 0; at < 64 && feeds == 0; at += ByteChunk::kSize) {
      const ByteChunk chunk(pos + at);
      separators |= uint64_t{chunk.anyOf<' ', ',', '(', ')'>()} << at;
      quotes |= uint64_t{chunk.anyOf<kQuote>()} << at;
      feeds |= uint64_t{chunk.anyOf<'\n'>()} << at;
    }
    if (feeds != 0) {
      const int length = std::countr_zero(feeds);
      valuesEnd = pos + length - (length > 0 && pos[length - 1] == '\r');
      const uint64_t inLine = (uint64_t{1} << (valuesEnd - pos)) - 1;
      plain = (quotes & inLine) == 0 ? cutValues(pos, ~separators & inLine, row)
                                     : cut(pos, valuesEnd, row);
      return pos + length + 1;
    }
  }
  const char* const feed =
      static_cast<const char*>(std::memchr(pos, '\n', static_cast<size_t>(end - pos)));
  const char* const lineEnd = feed != nullptr ? feed : end;
  valuesEnd = lineEnd > pos && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
  plain = cut(pos, valuesEnd, row);
  return feed != nullptr ? feed + 1 : end;
}

void RecordReader::appendBatch(size_t rows) {
  const int count = table_.recordCount();
  try {
    for (size_t k = 0; k < slots_.size(); ++k) {
      if (slots_[k].ints != nullptr) {
        slots_[k].ints->addVals(std::span(ints_).subspan(k * kBatchLines, rows));
      } else {
        slots_[k].strings->addVals(std::span(strings_).subspan(k * kBatchLines, rows));
      }
    }
  } catch (...) {  // out of memory half way: the batch is undone
    for (const auto& column : table_.columns()) {
      if (column->getSize() > count) column->truncate(static_cast<size_t>(count));
    }
    throw;
  }
}

void RecordReader::readThroughTable(std::string_view text, const char* begin, const char* end,
                                    size_t firstLine) {
  try {
    table_.addRecord(std::string_view(begin, static_cast<size_t>(end - begin)));
  } catch (AdbException& error) {
    error.setLine(firstLine + static_cast<size_t>(std::count(text.data(), begin, '\n')));
    throw;
  }
}

// Plain lines gather in the batch; a line that is not plain is read through the table once the
// batch before it is appended, so that the records keep their order.
void RecordReader::readLines(std::string_view text, size_t firstLine) {
  const char* pos = text.data();
  const char* const end = pos + text.size();
  // A table without columns takes only lines without values, which addRecord tells; a table
  // near its record limit meets it in addRecord.
  const bool plainAtAll = !slots_.empty() && table_.recordCount() <= INT_MAX - int{kBatchLines};
  size_t rows = 0;
  while (pos < end) {
    const char* const line = pos;
    bool plain = false;
    const char* valuesEnd = nullptr;
    if (plainAtAll) {
      pos = cutLine(pos, end, rows, plain, valuesEnd);
    } else {
      const char* const feed =
          static_cast<const char*>(std::memchr(pos, '\n', static_cast<size_t>(end - pos)));
      valuesEnd = feed != nullptr ? feed - (feed > pos && feed[-1] == '\r') : end;
      pos = feed != nullptr ? feed + 1 : end;
    }
    if (plain) {
      if (++rows == kBatchLines) {
        appendBatch(rows);
        rows = 0;
      }
    } else {
      appendBatch(rows);
      rows = 0;
      readThroughTable(text, line, valuesEnd, firstLine);
    }
  }
  appendBatch(rows);
}

}  // namespace relalg
