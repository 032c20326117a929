#include "run/RunSequence.h"

#include <string_view>
#include <utility>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "evaluation/TableSet.h"
#include "files/FileTools.h"
#include "files/InputSource.h"
#include "files/OutputTarget.h"
#include "files/SourceLines.h"
#include "language/SyntaxTree.h"

namespace relalg {

namespace {

// Where the text begins after a UTF-8 byte order mark at the very start of the input; such a
// mark is no part of the expression (the copy of the input keeps it).
size_t afterByteOrderMark(const InputSource& input) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  std::string buffer;
  return input.read(0, kMark.size(), buffer) == kMark ? kMark.size() : 0;
}

void runSteps(std::unique_ptr<InputSource> input, OutputTarget* output, EvalObserver* observer,
              const ResultViewer& viewResult) {
  SourceLines lines(*input, afterByteOrderMark(*input));
  std::string_view firstLine;
  std::string expression;
  if (lines.next(firstLine)) expression = firstLine;
  const auto tree = std::make_shared<const SyntaxTree>(std::move(expression));
  if (observer != nullptr) observer->expressionParsed(tree);
  TableSet catalogue(*input, lines.position(), 2, observer);
  catalogue.setObserver(observer);
  catalogue.releaseTablesAsUsed();

  std::ostream* stream = nullptr;
  if (output != nullptr) {
    stream = &output->open();
    copy_content(*input, *stream);
    output->flush();
  }
  input.reset();  // the tables hold copies of their values
  catalogue.evaluate(*tree);
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
  } catch (const AdbException& error) {
    return {RunOutcome::kFailure, error.getMessage(), error.place()};
  } catch (...) {
    return {RunOutcome::kUnknownFailure, {}, {}};
  }
  return {};
}

std::string usageText() { return message(MessageId::kUsage) + "\n"; }

}  // namespace relalg
