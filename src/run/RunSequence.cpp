#include "run/RunSequence.h"

#include <string_view>
#include <utility>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "evaluation/TableSet.h"
#include "files/FileTools.h"
#include "files/LineReader.h"
#include "files/OutputTarget.h"

namespace {

// The text after a UTF-8 byte order mark at its very start; such a mark is no part of the
// expression (the copy of the input keeps it).
std::string_view withoutByteOrderMark(std::string_view input) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  if (input.starts_with(kMark)) input.remove_prefix(kMark.size());
  return input;
}

void runSteps(const std::function<std::string()>& readInput, OutputTarget* output,
              EvalObserver* observer) {
  std::string input = readInput();
  LineReader lines(withoutByteOrderMark(input));
  std::string_view firstLine;
  lines.next(firstLine);
  std::string expression(firstLine);
  TableSet catalogue(lines.rest());
  catalogue.setObserver(observer);
  catalogue.releaseTablesAsUsed();

  std::ostream* stream = nullptr;
  if (output != nullptr) {
    stream = &output->open();
    copy_content(input, *stream);
    output->flush();
  }
  std::string().swap(input);  // the tables hold copies of their values
  catalogue.evaluate(std::move(expression));
  if (output != nullptr) {
    catalogue.write_result(stream);
    output->close();
  }
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
                       EvalObserver* observer) {
  try {
    runSteps(readInput, output, observer);
  } catch (const AdbException& error) {
    return {RunOutcome::kFailure, error.getMessage()};
  } catch (...) {
    return {RunOutcome::kUnknownFailure, {}};
  }
  return {};
}

std::string usageText() { return message(MessageId::kUsage) + "\n"; }
