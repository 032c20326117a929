#include "run/RunSequence.h"

#include <new>
#include <optional>
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

// Writes the copy of the input to the output's first stream and flushes it. For an input that may
// change meanwhile, compares the bytes it copied with those that the tables were planned from,
// and throws the failure of a changed input, with changed set, where they differ.
void writeCopy(const InputSource& input, OutputTarget& output, std::ostream& stream,
               const ReadHashes& planned, bool& changed) {
  ReadHashes::Check copied(planned);
  copy_content(input, stream, input.mayChange() ? &copied : nullptr);
  if (input.mayChange()) {
    try {
      input.checkUnchanged();
      if (!copied.complete()) input.failChanged();
    } catch (...) {
      changed = true;
      throw;
    }
  }
  output.flush();
}

// The length of the copy of the input where the first pass tells it: an input without carriage
// returns is copied as it is, with a line feed after a last line that lacks one, and the empty
// line.
std::optional<size_t> copyLength(const InputSource& input, const ReadHashes& planned) {
  const size_t size = input.size();
  if (planned.size() != size || planned.heldCarriageReturn()) return std::nullopt;
  return size + (size > 0 && planned.lastByte() != '\n') + 1;
}

// The copy beside the evaluation, on two threads, and the result text at its known offset beside
// the copy where the output takes it, so that neither waits for the other. The copy and the
// evaluation touch disjoint data (the tables hold copies of their values), and a failing copy is
// reported before a failing evaluation, as when they run in order. A copy that fails leaves the
// output as it would in order: empty where it found the input changed, else what it wrote.
// Returns whether the result text is written.
bool copyBesideEvaluation(const InputSource& input, OutputTarget& output, std::ostream& stream,
                          const ReadHashes& planned, TableSet& catalogue, const SyntaxTree& tree) {
  const std::optional<size_t> copySize = copyLength(input, planned);
  std::ostream* const resultStream = copySize ? output.openAt(*copySize) : nullptr;
  bool changed = false;
  bool copyFailed = false;
  try {
    runPieces(2, [&](size_t piece) {
      if (piece == 1) {
        catalogue.evaluate(tree);
        if (resultStream != nullptr) catalogue.write_result(resultStream);
        return;
      }
      try {
        writeCopy(input, output, stream, planned, changed);
      } catch (...) {
        copyFailed = true;
        throw;
      }
    });
  } catch (...) {
    if (changed) {
      output.discard();
    } else if (copyFailed) {
      output.dropSecond();
    }
    throw;
  }
  return resultStream != nullptr;
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

  // Only an input read where it lies is kept open beside the evaluation: one held in memory is
  // let go first.
  std::ostream* const stream = output != nullptr ? &output->open() : nullptr;
  bool resultWritten = false;
  if (output != nullptr && input->mayChange() && threadCount() > 1) {
    resultWritten = copyBesideEvaluation(*input, *output, *stream, planned, catalogue, *tree);
    input.reset();
  } else {
    if (output != nullptr) {
      bool changed = false;
      try {
        writeCopy(*input, *output, *stream, planned, changed);
      } catch (...) {
        if (changed) output->discard();
        throw;
      }
    }
    input.reset();  // the tables hold copies of their values
    catalogue.evaluate(*tree);
  }
  if (output != nullptr) {
    if (!resultWritten) catalogue.write_result(stream);
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
