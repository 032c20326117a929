#include "storage/TableBlocks.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <numeric>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "files/SourceLines.h"
#include "storage/RecordReader.h"

namespace relalg {

namespace {

constexpr size_t kMinBytesPerThread = size_t{1} << 18;
constexpr size_t kStretchBytes = size_t{1} << 19;
constexpr size_t kTouchAheadFrom = size_t{8} << 20;

// Ends the current stretch of a block at offset end, and its hash where the lines are hashed.
void endStretch(BlockPlan& block, size_t end, SourceLines& lines, bool hashed) {
  block.cuts.push_back(end);
  if (hashed) block.stretchHashes.push_back(lines.cutHash(end));
}

// Ends the block at offset end: the last stretch ends there, or has no lines when a cut was made
// there already.
void endBlock(BlockPlan& block, size_t end, SourceLines& lines, bool hashed) {
  if (block.cuts.back() != end) {
    endStretch(block, end, lines, hashed);
  } else {
    block.firstLines.pop_back();
  }
  block.extent.span = block.cuts.back() - block.cuts.front();
}

// Reads stretch k of a block and appends its lines to table.
void appendStretch(Table& table, const InputSource& source, const BlockPlan& block, size_t k,
                   std::string& buffer) {
  const std::string_view text =
      source.read(block.cuts[k], block.cuts[k + 1] - block.cuts[k], buffer);
  if (!block.stretchHashes.empty()) {  // the source may have changed since the plan read it
    StreamHash read;
    read.update(text);
    if (read.digest() != block.stretchHashes[k]) source.failChanged();
  }
  RecordReader(table).readLines(text, block.firstLines[k]);
}

// On how many threads to read the record lines of a block.
size_t readingThreads(const LineReader::Extent& extent) {
  if (extent.lines > INT_MAX) return 1;  // the record limit is met in line order
  return std::clamp<size_t>(extent.span / kMinBytesPerThread, 1, threadCount());
}

// Reads the record lines of a block into table on several threads: each thread reads the next
// stretch not yet taken into a table of its own, waits for its turn, appends what it read to
// table, and reuses its table for its next stretch, so that the records are appended in line
// order and the extra memory is a stretch per thread. The failure reported is that of the first
// line that fails: a stretch that fails stops every stretch after it, and the stretches before
// it still run to their end.
void readRecordsOnThreads(Table& table, const InputSource& source, const BlockPlan& block,
                          size_t threads) {
  const size_t stretches = block.cuts.size() - 1;
  std::atomic<size_t> nextStretch{0};
  std::mutex mutex;
  std::condition_variable turnChanged;
  size_t appended = 0;         // stretches appended so far, under mutex
  size_t failed = stretches;   // the first stretch that failed, under mutex
  std::exception_ptr failure;  // its failure, under mutex
  // A stretch whose turn has come already is read straight into table.
  auto readAndAppend = [&](size_t k, Table& own, std::string& buffer) {
    bool direct;
    {
      std::lock_guard<std::mutex> lock(mutex);
      direct = appended == k;
    }
    appendStretch(direct ? table : own, source, block, k, buffer);
    std::unique_lock<std::mutex> lock(mutex);
    turnChanged.wait(lock, [&] { return appended == k || failed < k; });
    if (failed < k) return false;
    if (!direct) table.appendRecords(own);
    ++appended;
    turnChanged.notify_all();
    return true;
  };
  runPieces(threads, [&](size_t) {
    auto own = table.emptyLike(table.getName());
    std::string buffer;
    for (size_t k = nextStretch++; k < stretches; k = nextStretch++) {
      try {
        if (!readAndAppend(k, *own, buffer)) return;
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        if (k < failed) {
          failed = k;
          failure = std::current_exception();
        }
        turnChanged.notify_all();
        return;
      }
      own->clearRecords();
    }
  });
  if (failure) std::rethrow_exception(failure);
}

// Reads the bytes of source from offset begin to its end, a window at a time, and lets them go,
// until the plan is made. On a virtual machine, the first touch of memory that has lain idle for
// a few seconds is slow, the page cache's too: a file of 46 MB read in 85 ms cold and in 11 ms
// right after. So while the planning pass reads the first half of a long input, a second thread
// touches the second half, and the pass finds it warm. Failures are the planning pass's to meet.
void touchSecondHalf(const InputSource& source, size_t begin, const std::atomic<bool>& planned) {
  std::string buffer;
  try {
    for (size_t offset = begin; offset < source.size() && !planned; offset += kStretchBytes) {
      source.read(offset, kStretchBytes, buffer);
    }
  } catch (...) {
  }
}

// The planning pass. A record line before any header line ends the plan; it is kept, to be
// reported once the blocks above it are read.
TablePlan planLines(const InputSource& source, size_t begin, size_t firstLine,
                    ReadHashes* hashes) {
  TablePlan plan;
  std::vector<BlockPlan>& blocks = plan.blocks;
  const bool hashed = hashes != nullptr;
  SourceLines lines(source, begin, hashes);
  std::string_view line;
  size_t number = firstLine - 1;
  bool headerExpected = false;
  bool inBlock = false;
  while (lines.next(line)) {
    ++number;
    if (inBlock && !line.empty()) {
      BlockPlan& block = blocks.back();
      size_t bytes = 0;
      const size_t skipped = lines.skipLines(block.cuts.back() + kStretchBytes, bytes);
      number += skipped;
      block.extent.lines += 1 + skipped;
      block.extent.bytes += line.size() + bytes;
      if (lines.position() - block.cuts.back() >= kStretchBytes) {
        endStretch(block, lines.position(), lines, hashed);
        block.firstLines.push_back(number + 1);
      }
    } else if (line.empty()) {
      if (inBlock) endBlock(blocks.back(), lines.lineBegin(), lines, hashed);
      inBlock = false;
      headerExpected = true;
    } else if (headerExpected) {
      blocks.push_back(
          BlockPlan{std::string(line), number, {0, 0, 0}, {lines.position()}, {number + 1}, {}});
      if (hashed) lines.cutHash(lines.position());
      inBlock = true;
      headerExpected = false;
    } else {
      plan.stray = StrayLine{std::string(line), number};
      break;
    }
  }
  if (inBlock) endBlock(blocks.back(), lines.position(), lines, hashed);
  if (hashed) lines.cutHash(lines.position());
  return plan;
}

}  // namespace

// While a long input read where it lies is planned, a second thread touches its second half.
TablePlan planBlocks(const InputSource& source, size_t begin, size_t firstLine,
                     ReadHashes* hashes) {
  const size_t size = source.size();
  if (!source.mayChange() || threadCount() < 2 || size - std::min(begin, size) < kTouchAheadFrom) {
    return planLines(source, begin, firstLine, hashes);
  }
  TablePlan plan;
  std::atomic<bool> planned{false};
  runPieces(2, [&](size_t piece) {
    if (piece == 0) {
      try {
        plan = planLines(source, begin, firstLine, hashes);
      } catch (...) {
        planned = true;
        throw;
      }
      planned = true;
    } else {
      touchSecondHalf(source, begin + (size - begin) / 2, planned);
    }
  });
  return plan;
}

std::unique_ptr<Table> readBlock(const InputSource& source, const BlockPlan& block) {
  std::unique_ptr<Table> table;
  try {
    table = std::make_unique<Table>(block.header);
  } catch (const AdbException& error) {
    throw AdbException(error.getMessage(), {block.headerLine, 1, block.header.size()});
  }
  table->reserveRecords(block.extent.lines, block.extent.bytes);
  const size_t threads = readingThreads(block.extent);
  if (threads > 1) {
    try {
      readRecordsOnThreads(*table, source, block, threads);
      return table;
    } catch (const std::bad_alloc&) {
      table->clearRecords();  // out of memory on several threads: read again on one
    }
  }
  std::string buffer;
  for (size_t k = 0; k + 1 < block.cuts.size(); ++k) {
    appendStretch(*table, source, block, k, buffer);
  }
  return table;
}

void rejectStrayLine(const StrayLine& stray) {
  throw AdbException(message(MessageId::kRecordWithoutTable, {stray.text}),
                     {stray.line, 1, stray.text.size()});
}

}  // namespace relalg
