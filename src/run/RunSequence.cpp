#include "run/RunSequence.h"

#include <new>
#include <string_view>
#include <utility>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "base/Windows1250.h"
#include "evaluation/TableSet.h"
#include "files/FileTools.h"
#include "files/InputSource.h"
#include "files/OutputTarget.h"
#include "files/ReadHashes.h"
#include "files/SourceLines.h"
#include "language/SyntaxTree.h"

namespace relalg {

namespace {

// Writes the copy of the input, and for an input that may change meanwhile compares the bytes it
// copied with those that the tables were planned from: a difference leaves the output empty and
// fails the run.
std::ostream& writeCopy(const InputSource& input, OutputTarget& output, const ReadHashes& planned) {
  std::ostream& stream = output.open();
  ReadHashes::Check copied(planned);
  copy_content(input, stream, input.mayChange() ? &copied : nullptr);
  if (input.mayChange()) {
    try {
      input.checkUnchanged();
      if (!copied.complete()) input.failChanged();
    } catch (...) {
      output.discard();
      throw;
    }
  }
  output.flush();
  return stream;
}

void runSteps(std::unique_ptr<InputSource> input, OutputTarget* output, EvalObserver* observer,
              const ResultViewer& viewResult) {
  // A UTF-8 byte order mark at the very start of the input is no part of the expression (the
  // copy of the input keeps it).
  std::string buffer;
  const std::string_view start = input->read(0, kByteOrderMark.size(), buffer);
  const size_t begin = byteOrderMarkLength(start);
  ReadHashes planned;  // the bytes read before the copy, for an input that may change
  ReadHashes* const watched = input->mayChange() ? &planned : nullptr;
  planned.add(start.substr(0, begin));
  SourceLines lines(*input, begin, watched);
  std::string_view firstLine;
  std::string expression;
  if (lines.next(firstLine)) expression = firstLine;
  if (watched != nullptr) lines.cutHash(lines.position());
  const auto tree = std::make_shared<const SyntaxTree>(std::move(expression));
  if (observer != nullptr) observer->expressionParsed(tree);
  TableSet catalogue(*input, lines.position(), 2, observer, watched);
  input->checkUnchanged();
  catalogue.setObserver(observer);
  catalogue.releaseTablesAsUsed();
  if (observer != nullptr) observer->tablesRead();

  std::ostream* stream = nullptr;
  if (output != nullptr && input->mayChange() && threadCount() > 1) {
    // The copy (reading the input file, writing the output) and the evaluation (of the tables,
    // which hold copies of their values) touch disjoint data, so they run at the same time; a
    // failing copy is reported before a failing evaluation, as when they run in order. Only an
    // input read where it lies is kept open meanwhile: one held in memory is let go first.
    runPieces(2, [&](size_t piece) {
      if (piece == 0) {
        stream = &writeCopy(*input, *output, planned);
      } else {
        catalogue.evaluate(*tree);
      }
    });
    input.reset();
  } else {
    if (output != nullptr) stream = &writeCopy(*input, *output, planned);
    input.reset();  // the tables hold copies of their values
    catalogue.evaluate(*tree);
  }
  if (output != nullptr) {
    catalogue.write_result(stream);
    output->close();
  }
  if (viewResult) viewResult(*catalogue.result());
}

}  // namespace

std::string RunOutcome::errorText() const {
  switch (status) {
    case kSuccess:
      return {};
    case kFailure:
      return std::string(messageInfo(MessageId::kFailureHeading).pattern) + "\n" + message + "\n";
    default:
      return std::string(messageInfo(MessageId::kUnknownFailure).pattern) + "\n";
  }
}

RunOutcome runSequence(const std::function<std::string()>& readInput, OutputTarget* output,
                       EvalObserver* observer, const ResultViewer& viewResult) {
  return runSequence([&] { return TextInput::holding(readInput()); }, output, observer, viewResult);
}

RunOutcome runSequence(const std::function<std::unique_ptr<InputSource>()>& openInput,
                       OutputTarget* output, EvalObserver* observer,
                       const ResultViewer& viewResult) {
  try {
    runSteps(openInput(), output, observer, viewResult);
  } catch (...) {
    const RunOutcome failed = failureOutcome();
    if (output != nullptr) output->endAfterFailure();
    return failed;
  }
  return {};
}

RunOutcome failureOutcome() {
  RunOutcome outcome{RunOutcome::kUnknownFailure, {}, {}};
  try {
    throw;
  } catch (const AdbException& error) {
    outcome = {RunOutcome::kFailure, error.getMessage(), error.place(), error.node()};
  } catch (const NodeRangeError& error) {
    outcome.node = error.node();
  } catch (const std::bad_alloc&) {
    outcome.outOfMemory = true;
  } catch (...) {
  }
  return outcome;
}

std::string usageText() { return message(MessageId::kUsage) + "\n"; }

}  // namespace relalg
