// Helpers shared by the unit tests.
#ifndef RELALG_TESTS_TESTSUPPORT_H
#define RELALG_TESTS_TESTSUPPORT_H

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/AdbException.h"
#include "storage/Table.h"

using namespace relalg;

// The message of the AdbException that action throws, or a note that it threw none.
template <class Action>
std::string messageOf(Action&& action) {
  try {
    action();
  } catch (const AdbException& error) {
    return error.getMessage();
  }
  return "(no exception)";
}

// A folder of the test's own under the temporary folder ($TMPDIR or /tmp), removed with the
// object: suites of two builds may run at once.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "relalg-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The path of a file in the folder.
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A table from a header line and record lines.
inline std::unique_ptr<Table> makeTable(const std::string& header,
                                        const std::vector<std::string>& records = {}) {
  auto table = std::make_unique<Table>(header);
  for (const auto& record : records) table->addRecord(record);
  return table;
}

// The record texts of a table, in order.
inline std::vector<std::string> records(const Table& table) {
  std::vector<std::string> texts;
  for (int k = 0; k < table.recordCount(); ++k) texts.push_back(table.getRecord(k));
  return texts;
}

using Records = std::vector<std::string>;

#endif  // RELALG_TESTS_TESTSUPPORT_H
