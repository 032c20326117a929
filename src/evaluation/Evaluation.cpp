#include "evaluation/Evaluation.h"

#include <atomic>
#include <cassert>
#include <exception>
#include <new>
#include <system_error>
#include <thread>

#include "base/Threads.h"
#include "evaluation/TableOperators.h"
#include "evaluation/TableSelect.h"
#include "evaluation/TableSet.h"

namespace relalg {

namespace {

// Threads evaluating a second operand, beyond the threads that started them.
std::atomic<unsigned> operandThreads{0};

// Counts a thread for a second operand, unless every spare thread is taken.
bool reserveOperandThread() {
  const unsigned spare = threadCount() - 1;
  unsigned busy = operandThreads.load();
  do {
    if (busy >= spare) return false;
  } while (!operandThreads.compare_exchange_weak(busy, busy + 1));
  return true;
}

}  // namespace

// The evaluation of a second operand on a thread of its own, under a cancel token of its own.
// Destroying the task cancels it and waits for its thread.
class Evaluation::OperandTask {
 public:
  // Throws std::system_error when no thread can be started; the reserved thread is then freed.
  OperandTask(TableSet& catalogue, const SyntaxTree& tree, int node)
      : token_(currentCancelToken()) {
    try {
      thread_ = std::thread([this, &catalogue, &tree, node] { work(catalogue, tree, node); });
    } catch (...) {
      --operandThreads;
      throw;
    }
  }
  OperandTask(const OperandTask&) = delete;
  OperandTask& operator=(const OperandTask&) = delete;
  ~OperandTask() {
    cancel();
    if (thread_.joinable()) thread_.join();
  }

  void cancel() { token_.cancel(); }
  // Waits for the operand and returns its table, or throws its failure.
  TableHandle take() {
    thread_.join();
    if (failure_) std::rethrow_exception(failure_);
    return std::move(table_);
  }

 private:
  void work(TableSet& catalogue, const SyntaxTree& tree, int node) {
    {
      const CancelScope scope(&token_);
      try {
        table_ = Evaluation(catalogue, tree, nullptr, true).run(node);
      } catch (...) {
        failure_ = std::current_exception();
      }
    }
    --operandThreads;
  }

  CancelToken token_;
  TableHandle table_;
  std::exception_ptr failure_;
  std::thread thread_;
};

Evaluation::Pending::Pending(int operatorNode) : node(operatorNode) {}
Evaluation::Pending::Pending(Pending&&) noexcept = default;
Evaluation::Pending& Evaluation::Pending::operator=(Pending&&) noexcept = default;
Evaluation::Pending::~Pending() = default;

Evaluation::Evaluation(TableSet& catalogue, const SyntaxTree& tree, EvalObserver* observer)
    : Evaluation(catalogue, tree, observer, false) {}

Evaluation::Evaluation(TableSet& catalogue, const SyntaxTree& tree, EvalObserver* observer,
                       bool insideStep)
    : catalogue_(catalogue), tree_(tree), observer_(observer), insideStep_(insideStep) {}

Evaluation::~Evaluation() {
  for (Pending& pending : stack_) {
    if (pending.right) pending.right->cancel();
  }
}

TableHandle Evaluation::run(int node) {
  current_ = node;
  int start = node;
  for (;;) {
    try {
      TableHandle value = descend(start);
      while (!stack_.empty()) {
        const Pending& top = stack_.back();
        const bool needsSecond = takesTwoTables(tree_.exprType(top.node)) && !top.leftDone;
        value = needsSecond ? turnToSecond(std::move(value)) : apply(std::move(value));
      }
      return value;
    } catch (const std::bad_alloc&) {
      if (fallBackToOneThread(start)) continue;
      if (observer_ != nullptr) observer_->nodeFailed(tree_, current_);
      throw;
    } catch (...) {
      if (observer_ != nullptr) observer_->nodeFailed(tree_, current_);
      throw;
    }
  }
}

TableHandle Evaluation::descend(int node) {
  for (;;) {
    throwIfCancelled();
    current_ = node;
    if (observer_ != nullptr) observer_->nodeStarted(tree_, node);
    if (tree_.fault(node) != SyntaxTree::Fault::kNone) tree_.raiseFault(node);
    if (tree_.exprType(node) == ExprType::kTable) {
      TableHandle table = catalogue_.useTable(tree_.command(node), mayTakeTables());
      if (observer_ != nullptr) observer_->nodeFinished(tree_, node, *table);
      return table;
    }
    stack_.emplace_back(node);
    startSecondOperand(stack_.back());
    node = tree_.operand(node, 0);
  }
}

void Evaluation::startSecondOperand(Pending& pending) {
  if (observer_ != nullptr || oneThread_ || !takesTwoTables(tree_.exprType(pending.node)) ||
      tree_.holdsRename(pending.node) || !reserveOperandThread()) {
    return;
  }
  try {
    pending.right =
        std::make_unique<OperandTask>(catalogue_, tree_, tree_.operand(pending.node, 1));
  } catch (const std::system_error&) {
    return;  // no thread could be started: the operand is evaluated in turn
  }
  pending.parallel = true;
  ++runningTasks_;
}

TableHandle Evaluation::turnToSecond(TableHandle first) {
  Pending& top = stack_.back();
  top.left = std::move(first);
  top.leftDone = true;
  if (!top.left.owns()) storedLefts_[top.left.get()].push_back(stack_.size() - 1);
  const int second = tree_.operand(top.node, 1);
  if (!top.right) return descend(second);
  const std::unique_ptr<OperandTask> task = std::move(top.right);
  --runningTasks_;
  try {
    TableHandle table = task->take();
    if (!insideStep_ && runningTasks_ == 0)
      releaseStepTables(top.node, top.left.get(), table.get());
    return table;
  } catch (const std::bad_alloc&) {
    // It ran out of memory beside the first operand: evaluated again now, alone, with no more
    // of the first operand's tables at hand than one thread would have kept.
    oneThread_ = true;
  }
  if (!insideStep_ && runningTasks_ == 0) {
    releaseStepTables(tree_.operand(top.node, 0), top.left.get(), nullptr);
  }
  return descend(second);
}

TableHandle Evaluation::apply(TableHandle operand) {
  Pending& pending = stack_.back();
  const int node = pending.node;
  current_ = node;
  throwIfCancelled();
  TableHandle result = applyOperator(pending, operand);
  if (observer_ != nullptr) observer_->nodeFinished(tree_, node, *result);  // operands alive
  const bool stepDone = pending.parallel && !insideStep_ && runningTasks_ == 0;
  popPending();  // releases the operands that the node owned
  if (stepDone) releaseStepTables(node, nullptr, nullptr);
  return result;
}

TableHandle Evaluation::applyOperator(Pending& pending, TableHandle& operand) {
  const Table* left = pending.left.get();
  const int parameter = tree_.operand(pending.node, 1);
  switch (tree_.exprType(pending.node)) {
    case ExprType::kUnion:
      return TableHandle::owned(make_union(*left, *operand));
    case ExprType::kMinus:
      return TableHandle::owned(make_minus(*left, *operand));
    case ExprType::kProduct:
      // Operands that the node owns are read by no one after it, so their columns may move
      // into the result.
      return TableHandle::owned(
          make_product(*pending.left, *operand, pending.left.owns(), operand.owns()));
    case ExprType::kProject:
      return TableHandle::owned(make_project(*operand, tree_.text(parameter)));
    case ExprType::kRename:
      keepEarlierOperands(operand.get());
      make_rename(*operand, tree_.text(parameter));
      return std::move(operand);
    case ExprType::kSelect:
      // No one else reads the operand (an observer may, until the select has finished): its
      // records are kept in place.
      if (operand.owns() && observer_ == nullptr) {
        operand->keepRows(selectedRows(*operand, tree_, parameter));
        return std::move(operand);
      }
      return TableHandle::owned(make_select(*operand, tree_, parameter));
    case ExprType::kTable:
      break;
  }
  assert(false && "a stored table is no pending node");
  return std::move(operand);
}

void Evaluation::forgetStoredLeft(size_t place) {
  const Pending& pending = stack_[place];
  if (!pending.leftDone || pending.left.owns()) return;
  auto found = storedLefts_.find(pending.left.get());
  if (found == storedLefts_.end()) return;
  std::vector<size_t>& places = found->second;
  if (!places.empty() && places.back() == place) places.pop_back();
  if (places.empty()) storedLefts_.erase(found);
}

void Evaluation::popPending() {
  forgetStoredLeft(stack_.size() - 1);
  stack_.pop_back();
}

bool Evaluation::fallBackToOneThread(int& restart) {
  size_t step = 0;
  while (step < stack_.size() && !stack_[step].right) ++step;
  if (step == stack_.size()) return false;
  oneThread_ = true;
  for (size_t k = step; k < stack_.size(); ++k) {
    if (stack_[k].right) stack_[k].right->cancel();
  }
  while (stack_.size() > step + 1) popPending();
  forgetStoredLeft(step);
  Pending& pending = stack_.back();
  pending.right.reset();
  pending.left = {};
  pending.leftDone = false;
  runningTasks_ = 0;
  restart = tree_.operand(stack_.back().node, 0);
  return true;
}

void Evaluation::keepEarlierOperands(const Table* table) {
  auto found = storedLefts_.find(table);
  if (found == storedLefts_.end()) return;
  for (size_t place : found->second) {
    stack_[place].left = TableHandle::owned(std::make_unique<Table>(*table));
  }
  storedLefts_.erase(found);
}

void Evaluation::releaseStepTables(int node, const Table* kept1, const Table* kept2) {
  for (int k = node; k < tree_.subtreeEnd(node); ++k) {
    if (!tree_.isExpression(k) || tree_.fault(k) != SyntaxTree::Fault::kNone ||
        tree_.exprType(k) != ExprType::kTable) {
      continue;
    }
    catalogue_.releaseIfReachedOnce(tree_.command(k), kept1, kept2);
  }
}

// The catalogue's evaluation, here beside the walk that does it.

bool TableSet::evaluate(std::string expression) {
  const SyntaxTree tree(std::move(expression));
  evaluate(tree);
  return static_cast<bool>(resultTable_);
}

void TableSet::evaluate(const SyntaxTree& tree) {
  resultTable_ = {};
  if (observer_ != nullptr) observer_->evaluationStarted(*this);
  findTablesReachedOnce(tree);
  struct Forget {
    std::set<std::string, std::less<>>& names;
    ~Forget() { names.clear(); }  // later evaluations borrow every table
  } forget{reachedOnce_};
  resultTable_ = r_eval(tree, SyntaxTree::root());
}

TableHandle TableSet::r_eval(std::string text) {
  const SyntaxTree tree(std::move(text));
  return r_eval(tree, SyntaxTree::root());
}

TableHandle TableSet::r_eval(const SyntaxTree& tree, int node) {
  return Evaluation(*this, tree, observer_).run(node);
}

}  // namespace relalg
