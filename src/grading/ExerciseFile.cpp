#include "grading/ExerciseFile.h"

#include <string_view>

#include "base/Messages.h"
#include "base/Windows1250.h"

namespace relalg {

namespace {

constexpr std::string_view kTitle = "-- title:";
constexpr std::string_view kTask = "-- task:";
constexpr std::string_view kRequires = "-- requires:";

std::string trimmed(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return std::string(text.substr(begin, text.find_last_not_of(" \t") + 1 - begin));
}

}  // namespace

ExerciseDeclarations takeDeclarations(std::string& bytes) {
  ExerciseDeclarations declared;
  std::string kept(bytes.substr(0, byteOrderMarkLength(bytes)));
  size_t at = kept.size();
  for (size_t number = 1; at < bytes.size(); ++number) {
    const size_t end = std::min(bytes.find('\n', at), bytes.size());
    std::string_view line(bytes.data() + at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) break;
    const size_t next = std::min(end + 1, bytes.size());
    if (line.starts_with(kTitle)) {
      declared.title = trimmed(line.substr(kTitle.size()));
    } else if (line.starts_with(kTask)) {
      declared.task.push_back(trimmed(line.substr(kTask.size())));
    } else if (line.starts_with(kRequires)) {
      declared.requirements.push_back({number, trimmed(line.substr(kRequires.size()))});
    } else {
      kept.append(bytes, at, next - at);
    }
    at = next;
  }
  if (kept.size() != at) bytes = kept + bytes.substr(at);
  return declared;
}

std::optional<std::string> readConstraints(const ExerciseDeclarations& declared,
                                           const std::string& path,
                                           const std::vector<DataSet>& given,
                                           Constraints& constraints) {
  for (const ExerciseDeclarations::Line& line : declared.requirements) {
    try {
      constraints.add(line.text, given.front());
    } catch (const ConstraintError& error) {
      return message(MessageId::kCheckBadRequirement,
                     {path, std::to_string(line.number), error.what});
    }
  }
  for (const DataSet& data : given) {
    std::string requirement;
    const std::string where = constraints.breach(data.tables(), &requirement);
    if (!where.empty()) {
      return message(MessageId::kCheckBreaksRequirement, {data.name(), requirement, where});
    }
  }
  return std::nullopt;
}

}  // namespace relalg
