// TableBlocks reads the table blocks of an input, below its expression line: an empty line
// announces a header line, and the lines after a header line are its table's records, up to the
// next empty line. The blocks are planned in one pass over the lines and read in a second, so
// that each table makes room for all its records at once and long blocks are read on several
// threads. The plan keeps where each block stands, for tools that point at its lines, and, for a
// source that may change meanwhile, a hash of each stretch, which the second pass compares with
// what it reads.
#ifndef RELALG_STORAGE_TABLEBLOCKS_H
#define RELALG_STORAGE_TABLEBLOCKS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/InputSource.h"
#include "files/ReadHashes.h"
#include "files/LineReader.h"
#include "storage/Table.h"

namespace relalg {

// One table block: its header line, and its record lines cut into stretches of whole lines of
// about half a megabyte each.
struct BlockPlan {
  std::string header;
  size_t headerLine = 0;  // the header line's number in the input, from 1
  LineReader::Extent extent{0, 0, 0};
  std::vector<size_t> cuts;        // stretch k spans the bytes [cuts[k], cuts[k + 1])
  std::vector<size_t> firstLines;  // the number of stretch k's first line
  std::vector<uint64_t> stretchHashes;  // of stretch k's bytes, where they were hashed
};

// A record line before any header line, which ends the plan.
struct StrayLine {
  std::string text;
  size_t line = 0;
};

struct TablePlan {
  std::vector<BlockPlan> blocks;  // in input order
  std::optional<StrayLine> stray;
};

// Plans the blocks of source from offset begin on, whose first line is line firstLine. Given
// hashes, adds to them every byte read, cut where each stretch of record lines begins and ends,
// and keeps the hash of each stretch in the plan.
TablePlan planBlocks(const InputSource& source, size_t begin, size_t firstLine,
                     ReadHashes* hashes = nullptr);

// Reads one block into a table: its header line, then its record lines, on several threads when
// the block is long. Throws the AdbException of the first line that fails, with its place, or
// the failure of a changed input when a stretch is not what the plan read.
std::unique_ptr<Table> readBlock(const InputSource& source, const BlockPlan& block);

// Throws the failure of a stray line, with its place.
[[noreturn]] void rejectStrayLine(const StrayLine& stray);

}  // namespace relalg

#endif  // RELALG_STORAGE_TABLEBLOCKS_H
