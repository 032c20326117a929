#include "files/LineReader.h"

namespace relalg {

namespace {

std::string_view withoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

bool LineReader::next(std::string_view& line) {
  if (rest_.empty()) return false;
  size_t end = rest_.find('\n');
  if (end == std::string_view::npos) {
    line = withoutCarriageReturn(rest_);
    rest_ = {};
  } else {
    line = withoutCarriageReturn(rest_.substr(0, end));
    rest_.remove_prefix(end + 1);
  }
  return true;
}

}  // namespace relalg
