#include "grading/Outcome.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "base/Messages.h"
#include "base/StreamHash.h"
#include "base/Threads.h"
#include "base/Windows1250.h"
#include "evaluation/TableSet.h"
#include "run/RunSequence.h"
#include "storage/Column.h"

namespace relalg {

namespace {

constexpr std::string_view kModeNames[] = {"set", "bag", "exact"};

// The records that the comparison under mode looks at, in a canonical order.
std::vector<std::string> comparedRecords(CompareMode mode, const Outcome& outcome) {
  std::vector<std::string> records = outcome.records;
  if (mode == CompareMode::kExact) return records;
  std::sort(records.begin(), records.end());
  if (mode == CompareMode::kSet)
    records.erase(std::unique(records.begin(), records.end()), records.end());
  return records;
}

// The message of relalgrun's standard error, without its heading line and its line end.
std::string_view messageIn(std::string_view errorText) {
  const std::string_view heading = messageInfo(MessageId::kFailureHeading).pattern;
  if (errorText.starts_with(heading) && errorText.substr(heading.size()).starts_with('\n')) {
    errorText.remove_prefix(heading.size() + 1);
  }
  if (errorText.ends_with('\n')) errorText.remove_suffix(1);
  return errorText;
}

}  // namespace

std::optional<CompareMode> compareModeNamed(std::string_view name) {
  for (size_t k = 0; k < std::size(kModeNames); ++k) {
    if (name == kModeNames[k]) return static_cast<CompareMode>(k);
  }
  return std::nullopt;
}

std::string_view compareModeName(CompareMode mode) { return kModeNames[static_cast<size_t>(mode)]; }

Outcome evaluateOn(const SyntaxTree& tree, const DataSet& data, EvalObserver* observer) {
  try {
    TableSet catalogue(data.text());
    catalogue.setObserver(observer);
    catalogue.evaluate(tree);
    const Table& result = *catalogue.result();
    Outcome outcome;
    outcome.header = result.getName() + result.fingerPrint();
    for (const auto& column : result.columns()) {
      outcome.integer.push_back(column->getType() == Column::INTEGER);
    }
    outcome.records.reserve(static_cast<size_t>(result.recordCount()));
    for (size_t row = 0; row < static_cast<size_t>(result.recordCount()); ++row) {
      outcome.records.emplace_back();
      result.getRecord(row, outcome.records.back());
    }
    return outcome;
  } catch (const Cancelled&) {
    throw;
  } catch (...) {
    return failedOutcome();
  }
}

Outcome failedOutcome() {
  const RunOutcome failed = failureOutcome();
  Outcome outcome;
  outcome.status = failed.status;
  outcome.errorText = failed.errorText();
  outcome.outOfMemory = failed.outOfMemory;
  return outcome;
}

std::string failureMessage(const Outcome& outcome, std::string_view line) {
  assert(!outcome.succeeded());
  return messageAsUtf8(messageIn(outcome.errorText), isUtf8(line));
}

std::string_view failureMeaning(std::string_view errorText) {
  const std::string_view text = messageIn(errorText);
  const MessageInfo* info = text.empty() ? nullptr : findMessage(text);
  return info != nullptr ? info->meaning : std::string_view();
}

bool sameResult(CompareMode mode, const Outcome& expected, const Outcome& got) {
  assert(expected.succeeded());
  if (!got.succeeded()) return false;
  if (mode == CompareMode::kExact)
    return got.header == expected.header && got.records == expected.records;
  return got.integer == expected.integer &&
         comparedRecords(mode, got) == comparedRecords(mode, expected);
}

void writeResultJson(JsonWriter& json, const std::string& key, const Outcome& outcome) {
  json.key(key).beginArray();
  if (outcome.succeeded()) json.text(outcome.header, JsonWriter::kInputText);
  for (size_t k = 0; k < std::min(outcome.records.size(), kReportedRecords); ++k) {
    json.text(outcome.records[k], JsonWriter::kInputText);
  }
  json.endArray();
  json.key(key + "Records").number(static_cast<int64_t>(outcome.records.size()));
}

std::string resultDigest(CompareMode mode, const Outcome& outcome) {
  assert(outcome.succeeded());
  StreamHash hash;
  hash.update(compareModeName(mode));
  hash.update("\n");
  if (mode == CompareMode::kExact) {
    hash.update(outcome.header);
  } else {
    for (bool integer : outcome.integer) hash.update(integer ? "i" : "s");
  }
  hash.update("\n");
  for (const std::string& record : comparedRecords(mode, outcome)) {
    hash.update(record);
    hash.update("\n");
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash.digest()));
  return digits;
}

}  // namespace relalg
