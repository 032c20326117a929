#include "grading/ExerciseLink.h"

#include <cassert>

#include "base/AdbException.h"
#include "base/JsonWriter.h"
#include "base/Messages.h"
#include "base/Windows1250.h"
#include "run/RunSequence.h"

namespace relalg {

std::string base64(std::string_view bytes, bool urlSafe) {
  const char* alphabet = urlSafe
                             ? "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"
                             : "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t k = 0; k < bytes.size(); k += 3) {
    const size_t taken = std::min<size_t>(3, bytes.size() - k);
    uint32_t group = 0;
    for (size_t j = 0; j < 3; ++j) {
      group = group << 8 | (j < taken ? static_cast<unsigned char>(bytes[k + j]) : 0);
    }
    for (size_t j = 0; j < 4; ++j) {
      if (j <= taken) {
        out += alphabet[(group >> (18 - 6 * j)) & 63];
      } else if (!urlSafe) {
        out += '=';
      }
    }
  }
  return out;
}

std::string exerciseLink(const Exercise& exercise, const std::vector<DataSet>& more,
                         std::string_view title, std::string_view task, std::string_view page) {
  assert(!exercise.failingDataSet());
  JsonWriter json;
  json.beginObject();
  json.key("compare").text(compareModeName(exercise.mode()));
  json.key("title").text(title, JsonWriter::kInputText);
  json.key("task").text(task, JsonWriter::kInputText);
  if (exercise.notation()) {
    json.key("mode").text("notation");
    json.key("allow").text(exercise.allow().names());
  }
  json.key("datasets").beginArray();
  const size_t given = exercise.given().size();
  for (size_t k = 0; k < given + more.size(); ++k) {
    const DataSet& data = k < given ? exercise.given()[k] : more[k - given];
    const Outcome expected =
        k < given ? exercise.expected()[k] : evaluateOn(exercise.reference(), data);
    json.beginObject();
    json.key("name").text(data.name().substr(data.name().find_last_of('/') + 1));
    json.key("tables").text(base64(data.text(), false));
    json.key("digest").text(resultDigest(exercise.mode(), expected));
    writeResultJson(json, "expected", expected);
    json.endObject();
  }
  json.endArray();
  json.endObject();
  return std::string(page) + "#exercise=" + base64(json.str(), true);
}

std::string checkJson(std::string_view input, CompareMode mode) {
  Outcome outcome;
  try {
    const DataSet data = DataSet::read("", input);
    outcome = evaluateOn(SyntaxTree(firstLine(input)), data);
  } catch (const AdbException&) {
    outcome = failedOutcome();
  }
  JsonWriter json;
  json.beginObject();
  json.key("status").number(outcome.status);
  json.key("stderr").text(errorTextAsUtf8(outcome.errorText, isUtf8(firstLine(input))));
  json.key("digest");
  if (outcome.succeeded()) {
    json.text(resultDigest(mode, outcome));
  } else {
    json.null();
  }
  writeResultJson(json, "result", outcome);
  json.endObject();
  return json.str();
}

}  // namespace relalg
