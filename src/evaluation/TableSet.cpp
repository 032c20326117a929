#include "evaluation/TableSet.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cctype>
#include <climits>
#include <condition_variable>
#include <exception>
#include <future>
#include <mutex>
#include <optional>
#include <ostream>
#include <vector>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "evaluation/RecordOrder.h"
#include "files/LineReader.h"
#include "files/SourceLines.h"
#include "language/RelAlgExpr.h"

namespace relalg {

// One table block of the input, as found in a pass over its lines: the header line, and the
// record lines below it cut into stretches of whole lines of about a megabyte each.
struct BlockPlan {
  std::string header;
  LineReader::Extent extent{0, 0, 0};
  std::vector<size_t> cuts;  // stretch k spans [cuts[k], cuts[k + 1])
};

namespace {

constexpr size_t kMinBytesPerThread = size_t{1} << 18;
constexpr size_t kStretchBytes = size_t{1} << 19;

// The blocks of the input from offset begin on, in input order. A record line before any header
// line ends the plan; it is kept in strayLine, to be reported once the blocks above it are read.
std::vector<BlockPlan> planBlocks(const InputSource& source, size_t begin,
                                  std::optional<std::string>& strayLine) {
  std::vector<BlockPlan> blocks;
  SourceLines lines(source, begin);
  std::string_view line;
  bool headerExpected = false;
  bool inBlock = false;
  while (lines.next(line)) {
    if (inBlock && !line.empty()) {
      BlockPlan& block = blocks.back();
      ++block.extent.lines;
      block.extent.bytes += line.size();
      if (lines.position() - block.cuts.back() >= kStretchBytes) {
        block.cuts.push_back(lines.position());
      }
    } else if (line.empty()) {
      if (inBlock && blocks.back().cuts.back() != lines.lineBegin()) {
        blocks.back().cuts.push_back(lines.lineBegin());
      }
      inBlock = false;
      headerExpected = true;
    } else if (headerExpected) {
      blocks.push_back(BlockPlan{std::string(line), {0, 0, 0}, {lines.position()}});
      inBlock = true;
      headerExpected = false;
    } else {
      strayLine = std::string(line);
      break;
    }
  }
  if (inBlock && blocks.back().cuts.back() != lines.position()) {
    blocks.back().cuts.push_back(lines.position());
  }
  for (BlockPlan& block : blocks) block.extent.span = block.cuts.back() - block.cuts.front();
  return blocks;
}

// Appends the record lines of text (whole lines) to table.
void appendLines(Table& table, std::string_view text) {
  LineReader lines(text);
  std::string_view line;
  while (lines.next(line)) table.appendRecord(line);
}

// Reads stretch k of a block and appends its lines to table.
void appendStretch(Table& table, const InputSource& source, const BlockPlan& block, size_t k,
                   std::string& buffer) {
  appendLines(table, source.read(block.cuts[k], block.cuts[k + 1] - block.cuts[k], buffer));
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
    if (!direct) table.gatherRows(own, allRows(static_cast<size_t>(own.recordCount())));
    ++appended;
    turnChanged.notify_all();
    return true;
  };
  runPieces(threads, [&](size_t) {
    auto own = table.emptyLike(table.name());
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

}  // namespace

TableSet::TableSet(std::string_view text) : TableSet(TextInput::viewing(text), 0) {}

// The blocks are planned in one pass over the lines and read in a second, so that each table
// makes room for all its records at once and long blocks can be read on several threads.
TableSet::TableSet(const InputSource& source, size_t begin) {
  std::optional<std::string> strayLine;
  const std::vector<BlockPlan> blocks = planBlocks(source, begin, strayLine);
  for (const BlockPlan& block : blocks) readBlock(source, block);
  if (strayLine) throw AdbException(message(MessageId::kRecordWithoutTable, {*strayLine}));
}

// Reads one table: its header line, then its record lines. A table whose name is already
// catalogued is read and checked in full, then dropped.
void TableSet::readBlock(const InputSource& source, const BlockPlan& block) {
  auto table = std::make_unique<Table>(block.header);
  table->reserveRecords(block.extent.lines, block.extent.bytes);
  const size_t threads = readingThreads(block.extent);
  if (threads > 1) {
    readRecordsOnThreads(*table, source, block, threads);
  } else {
    std::string buffer;
    for (size_t k = 0; k + 1 < block.cuts.size(); ++k) {
      appendStretch(*table, source, block, k, buffer);
    }
  }
  std::string name = table->getName();
  tables_.try_emplace(std::move(name), std::move(table));
}

Table* TableSet::getTableByName(std::string_view name) const {
  auto found = tables_.find(name);
  if (found == tables_.end()) throw AdbException(message(MessageId::kNoSuchTable, {name}));
  return found->second.get();
}

TableHandle TableSet::useTable(std::string_view name) {
  auto found = tables_.find(name);
  if (found == tables_.end()) throw AdbException(message(MessageId::kNoSuchTable, {name}));
  if (!reachedOnce_.contains(name)) return TableHandle::borrowed(found->second.get());
  // Only this evaluation's one use of the name reads this entry, so no other thread touches it.
  assert(found->second != nullptr);
  return TableHandle::owned(std::move(found->second));
}

namespace {

// How often an evaluation of expression reaches each table name: the nodes are parsed as the
// evaluation parses them (the operands of union, minus and product, the first operand of the
// others), without evaluating anything. Empty when a node does not parse, as the evaluation
// then fails as well.
std::map<std::string, int, std::less<>> tableUses(const std::string& expression) {
  std::map<std::string, int, std::less<>> uses;
  try {
    std::vector<ExprSource> pending{ExprSource(expression)};
    while (!pending.empty()) {
      const RelAlgExpr node(pending.back());
      pending.pop_back();
      const int type = node.getType();
      if (type == kTable) {
        ++uses[std::string(node.command())];
        continue;
      }
      if (type == kUnion || type == kMinus || type == kProduct) {
        pending.push_back(node.rightSource());
      }
      pending.push_back(node.leftSource());
    }
  } catch (...) {
    return {};
  }
  return uses;
}

}  // namespace

void TableSet::findTablesReachedOnce(const std::string& expression) {
  reachedOnce_.clear();
  if (!releaseTablesAsUsed_ || observer_ != nullptr) return;
  for (const auto& [name, count] : tableUses(expression)) {
    auto found = tables_.find(name);
    if (count == 1 && found != tables_.end() && found->second != nullptr) reachedOnce_.insert(name);
  }
}

bool TableSet::evaluate(std::string expression) {
  resultTable_ = {};
  if (observer_ != nullptr) observer_->evaluationStarted(*this);
  findTablesReachedOnce(expression);
  struct Forget {
    std::set<std::string, std::less<>>& names;
    ~Forget() { names.clear(); }  // later calls of r_eval borrow every table
  } forget{reachedOnce_};
  resultTable_ = r_eval(std::move(expression));
  return static_cast<bool>(resultTable_);
}

TableHandle TableSet::r_eval(std::string text) { return r_eval(ExprSource(std::move(text))); }

namespace {

// An operator node whose operands are being evaluated.
struct PendingNode {
  RelAlgExpr node;
  ExprSource source;  // the node's text as its parent gave it
  TableHandle left;   // the first operand's table, once a two-operand node has it
  bool leftDone = false;
  // The second operand's table, when it is being evaluated on a thread of its own beside the
  // first; its failure is taken only once the first operand is done. Destroying the future
  // waits for that thread.
  std::future<TableHandle> right;
};

// Threads evaluating a second operand, beyond the threads that started them.
std::atomic<unsigned> operandThreads{0};

bool needsSecondOperand(const PendingNode& pending) {
  const int type = pending.node.getType();
  return (type == kUnion || type == kMinus || type == kProduct) && !pending.leftDone;
}

// The places where the word rename stands in an expression text, in any case: the operands of a
// node whose text holds none of them may be evaluated at the same time, since neither renames a
// table that the other might read (a table name holding the word only costs the parallelism).
class RenameWords {
 public:
  // Whether the stretch of text holds no rename.
  bool noneIn(const ExprSource& source) {
    if (source.text().get() != text_) find(*source.text());
    auto it = std::lower_bound(starts_.begin(), starts_.end(), source.begin());
    return it == starts_.end() || *it + kWord.size() > source.end();
  }

 private:
  static constexpr std::string_view kWord = "rename";

  void find(const ExprText& text) {
    text_ = &text;
    starts_.clear();
    const std::string_view view = text.text();
    for (size_t pos = 0; pos + kWord.size() <= view.size(); ++pos) {
      size_t k = 0;
      while (k < kWord.size() &&
             std::tolower(static_cast<unsigned char>(view[pos + k])) == kWord[k]) {
        ++k;
      }
      if (k == kWord.size()) starts_.push_back(pos);
    }
  }

  const ExprText* text_ = nullptr;
  std::vector<size_t> starts_;
};

// One evaluation of an expression text. It keeps its own stack of pending operator nodes instead
// of recursing, so that the depth of nesting is bounded by memory alone. The first operand of a
// node is evaluated completely before the text of its second is looked at.
class Evaluation {
 public:
  Evaluation(TableSet& catalogue, EvalObserver* observer)
      : catalogue_(catalogue), observer_(observer) {}

  TableHandle run(const ExprSource& text);

 private:
  // Parses the nodes from text down their first operands to a stored table's name, leaving each
  // operator node on the stack, and returns that stored table.
  TableHandle descend(ExprSource text);
  // Applies the operator of the innermost pending node to its operands and takes it off.
  TableHandle apply(TableHandle operand);
  // Before a rename changes table in place: a first operand already evaluated to that very table
  // keeps the table as it was, by a copy of its own.
  void keepEarlierOperands(const Table* table);
  // Starts the evaluation of the second operand of pending on a thread of its own when that is
  // safe and a thread is free.
  void startSecondOperand(PendingNode& pending);
  void noteCurrent(const ExprSource& text, size_t depth) {
    current_ = text;
    currentDepth_ = static_cast<int>(depth);
  }

  TableSet& catalogue_;
  EvalObserver* observer_;
  std::vector<PendingNode> stack_;
  RenameWords renameWords_;
  std::optional<ExprSource> current_;  // the node at work, for the observer's failure report
  int currentDepth_ = 0;
};

TableHandle Evaluation::run(const ExprSource& text) {
  try {
    TableHandle value = descend(text);
    while (!stack_.empty()) {
      PendingNode& top = stack_.back();
      if (needsSecondOperand(top)) {
        top.left = std::move(value);
        top.leftDone = true;
        value = top.right.valid() ? top.right.get() : descend(top.node.rightSource());
      } else {
        value = apply(std::move(value));
      }
    }
    return value;
  } catch (...) {
    if (observer_ != nullptr) observer_->nodeFailed(current_->view(), currentDepth_);
    throw;
  }
}

TableHandle Evaluation::descend(ExprSource text) {
  for (;;) {
    noteCurrent(text, stack_.size());
    if (observer_ != nullptr) observer_->nodeStarted(text.view(), currentDepth_);
    RelAlgExpr node(text);
    if (node.getType() == kTable) {
      TableHandle table = catalogue_.useTable(node.command());
      if (observer_ != nullptr) observer_->nodeFinished(text.view(), currentDepth_, kTable, *table);
      return table;
    }
    ExprSource first = node.leftSource();
    stack_.push_back(PendingNode{std::move(node), std::move(text), {}, false, {}});
    startSecondOperand(stack_.back());
    text = std::move(first);
  }
}

void Evaluation::startSecondOperand(PendingNode& pending) {
  const int type = pending.node.getType();
  if (observer_ != nullptr || (type != kUnion && type != kMinus && type != kProduct) ||
      !renameWords_.noneIn(pending.source)) {
    return;
  }
  const unsigned spare = threadCount() - 1;
  unsigned busy = operandThreads.load();
  do {
    if (busy >= spare) return;
  } while (!operandThreads.compare_exchange_weak(busy, busy + 1));
  auto evaluate = [&catalogue = catalogue_, node = pending.node] {
    struct Release {
      ~Release() { --operandThreads; }
    } release;
    return Evaluation(catalogue, nullptr).run(node.rightSource());
  };
  try {
    pending.right = std::async(std::launch::async, std::move(evaluate));
  } catch (const std::exception&) {
    --operandThreads;  // no thread could be started: the operand is evaluated in turn
  }
}

void Evaluation::keepEarlierOperands(const Table* table) {
  for (PendingNode& pending : stack_) {
    if (pending.leftDone && pending.left.get() == table) {
      pending.left = TableHandle::owned(std::make_unique<Table>(*table));
    }
  }
}

TableHandle Evaluation::apply(TableHandle operand) {
  PendingNode& pending = stack_.back();
  noteCurrent(pending.source, stack_.size() - 1);
  const RelAlgExpr& node = pending.node;
  const Table* left = pending.left.get();
  TableHandle result;
  switch (node.getType()) {
    case kUnion:
      result = TableHandle::owned(left->make_union(operand.get()));
      break;
    case kMinus:
      result = TableHandle::owned(left->make_minus(operand.get()));
      break;
    case kProduct:
      result = TableHandle::owned(left->make_product(operand.get()));
      break;
    case kProject:
      result = TableHandle::owned(operand->make_project(node.extractRight()));
      break;
    case kRename:
      keepEarlierOperands(operand.get());
      operand->make_rename(node.extractRight());
      result = std::move(operand);
      break;
    default:
      if (operand.owns()) {  // no one else reads the operand: its records are kept in place
        operand->keepRows(operand->selectedRows(node.rightSource()));
        result = std::move(operand);
      } else {
        result = TableHandle::owned(operand->make_select(node.rightSource()));
      }
  }
  if (observer_ != nullptr) {
    observer_->nodeFinished(pending.source.view(), currentDepth_, node.getType(), *result);
  }
  stack_.pop_back();  // releases the operands that the node owned
  return result;
}

}  // namespace

TableHandle TableSet::r_eval(const ExprSource& text) {
  return Evaluation(*this, observer_).run(text);
}

const std::string* TableSet::catalogueKeyOf(const Table* table) const {
  for (const auto& [key, catalogued] : tables_) {
    if (catalogued.get() == table) return &key;
  }
  return nullptr;
}

std::vector<std::string> TableSet::tableNames() const {
  std::vector<std::string> names;
  for (const auto& entry : tables_) names.push_back(entry.first);
  return names;
}

void TableSet::write_result(std::ostream* out) const {
  if (!resultTable_) throw AdbException(message(MessageId::kNoResultYet));
  resultTable_->writeText(*out);
}

}  // namespace relalg
