// Checks that the user guide's message tables list exactly the messages of relalgrun in the
// message table, each once, shown as the table shows it (placeholders as upper-case words,
// Windows-1250 letters in UTF-8), with the table's usual fix.
// A row of the guide's message section: | `message` | meaning | usual fix |
// Usage: check_message_docs <docs/guide.md>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ProcessSupport.h"
#include "base/Messages.h"
#include "base/Windows1250.h"

using namespace relalg;

namespace {

std::string trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(' ') + 1 - begin);
}

// The cells of a table row, without the outer bars.
std::vector<std::string> cellsOf(const std::string& row) {
  std::vector<std::string> cells;
  std::istringstream in(row.substr(1));
  for (std::string cell; std::getline(in, cell, '|');) cells.push_back(trimmed(cell));
  return cells;
}

// The rows of the message section that quote a message: message -> fix (empty when the row has
// no fix column).
std::multimap<std::string, std::string> documentedMessages(const std::string& guide) {
  std::multimap<std::string, std::string> rows;
  std::istringstream lines(guide);
  bool inSection = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("## ")) inSection = line.starts_with("## 8. Messages");
    if (!inSection || !line.starts_with("| `")) continue;
    const std::vector<std::string> cells = cellsOf(line);
    std::string quoted = cells[0].substr(1, cells[0].size() - 2);
    rows.emplace(std::move(quoted), cells.size() > 2 ? cells[2] : "");
  }
  return rows;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "usage: check_message_docs <docs/guide.md>\n";
    return 2;
  }
  const std::optional<std::string> guide = readFile(argv[1]);
  if (!guide) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 2;
  }
  std::multimap<std::string, std::string> rows = documentedMessages(*guide);
  int faults = 0;
  for (const MessageInfo& info : allMessages()) {
    if (info.group == MessageGroup::kTraceCommandLine || info.group == MessageGroup::kCheck) continue;
    const std::string shown = windows1250ToUtf8(shownPattern(info));
    const auto [first, last] = rows.equal_range(shown);
    if (first == last || std::next(first) != last) {
      std::cerr << "the guide lists `" << shown << "` " << std::distance(first, last)
                << " times instead of once\n";
      ++faults;
    } else if (first->second != info.fix) {
      std::cerr << "the guide's fix for `" << shown << "` is\n  " << first->second
                << "\nbut the message table's is\n  " << info.fix << "\n";
      ++faults;
    }
    rows.erase(first, last);
  }
  for (const auto& [quoted, fix] : rows) {
    std::cerr << "the guide lists `" << quoted << "`, which is no message of relalgrun\n";
    ++faults;
  }
  return faults == 0 ? 0 : 1;
}
