#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "files/LineReader.h"
#include "storage/RecordReader.h"

using namespace relalg;

namespace {

// A table's text, or the message and place of the failure that ended its reading.
std::string outcome(const Table& table, const AdbException* failure) {
  std::string text = table.toString();
  if (failure != nullptr) {
    const InputPlace& place = failure->place();
    text += "failed at " + std::to_string(place.line) + ":" + std::to_string(place.column) + "+" +
            std::to_string(place.length) + ": " + failure->getMessage();
  }
  return text;
}

// Lines of values (integers plain and not, apostrophes, blanks, brackets, carriage returns),
// long and short, read by the reader and line by line through addRecord, give the same records
// and the same failure at the same place.
TEST(RecordReader, ReadsWhatAddRecordReads) {
  const std::vector<std::string> pieces = {
      "7",          "-12",
      "2147483647", "-2147483648",
      "2147483648", "00000000042",
      "-",          "abc",
      "Kovacs1234", "'Zova Bela'",
      "x'y",        "'",
      " ",          ",",
      ", ",         "(",
      ")",          "\r",
      "\t",         "\xE1",
      "12a",        "longer-value-of-many-bytes-that-runs-past-one-window-of-the-reader"};
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    const std::string header = round % 3 == 0   ? "t(a int, b char(5))"
                               : round % 3 == 1 ? "t(a char(5), b int, c char(1))"
                                                : "t(a int)";
    std::string text;
    const int lines = 1 + static_cast<int>(random() % 40);
    for (int line = 0; line < lines; ++line) {
      const int values = static_cast<int>(random() % 5);
      for (int k = 0; k < values; ++k) {
        text += (k > 0 ? (random() % 4 == 0 ? " " : ",") : "") + pieces[random() % pieces.size()];
      }
      if (line + 1 < lines || random() % 2 == 0) text += random() % 5 == 0 ? "\r\n" : "\n";
    }
    auto read = std::make_unique<Table>(header);
    std::unique_ptr<AdbException> readFailure;
    try {
      RecordReader(*read).readLines(text, 5);
    } catch (const AdbException& error) {
      readFailure = std::make_unique<AdbException>(error);
    }
    auto added = std::make_unique<Table>(header);
    std::unique_ptr<AdbException> addFailure;
    LineReader reader(text);
    std::string_view line;
    for (size_t number = 5; !addFailure && reader.next(line); ++number) {
      try {
        added->addRecord(line);
      } catch (const AdbException& error) {
        addFailure = std::make_unique<AdbException>(error);
        addFailure->setLine(number);
      }
    }
    ASSERT_EQ(outcome(*read, readFailure.get()), outcome(*added, addFailure.get())) << text;
  }
}

}  // namespace
