#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/LineReader.h"

namespace {

std::vector<std::string> lines(std::string_view text) {
  std::vector<std::string> result;
  LineReader reader(text);
  for (std::string_view line; reader.next(line);) result.emplace_back(line);
  return result;
}

using Lines = std::vector<std::string>;

TEST(LineReader, SplitsLikeGetlineAndDropsOneCarriageReturn) {
  EXPECT_EQ(lines(""), Lines{});
  EXPECT_EQ(lines("\n"), Lines{""});
  EXPECT_EQ(lines("a\nb"), (Lines{"a", "b"}));
  EXPECT_EQ(lines("a\nb\n"), (Lines{"a", "b"}));
  EXPECT_EQ(lines("a\n\n"), (Lines{"a", ""}));
  EXPECT_EQ(lines("a\r\nb\r"), (Lines{"a", "b"}));
  EXPECT_EQ(lines("a\r\r\n\r\n"), (Lines{"a\r", ""}));
  EXPECT_EQ(lines("x\ry\n"), Lines{"x\ry"});
}

TEST(LineReader, MeasuresTheBlockUpToTheNextEmptyLine) {
  LineReader reader("ab\ncde\r\n\r\nlater\n");
  LineReader::Extent extent = reader.blockExtent();
  EXPECT_EQ(extent.lines, 2u);
  EXPECT_EQ(extent.bytes, 5u);
}

}  // namespace
