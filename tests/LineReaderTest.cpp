#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "files/InputSource.h"
#include "files/LineReader.h"
#include "files/SourceLines.h"

using namespace relalg;

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

// A window of the source ends anywhere: inside a line, between a carriage return and its line
// feed, or inside a line longer than a window. The lines come out as from the text whole.
TEST(SourceLines, SplitsAsLineReaderAcrossWindowEdges) {
  constexpr size_t kWindow = SourceLines::kWindowBytes;
  std::vector<std::string> texts = {"", "\n", "a\nb", "a\r\nb\r", "a\r\r\n\r\n"};
  for (size_t at : {kWindow - 1, kWindow, kWindow + 1}) {
    for (std::string_view end : {"\r\n", "\n", "\r", ""}) {
      std::string text = "first\n" + std::string(at - 6, 'x');
      text += end;
      texts.push_back(text + "\nnext\n");
      texts.push_back(text);
      texts.push_back(std::string(3 * kWindow, 'y') + text);  // longer than two windows
    }
  }
  for (const std::string& text : texts) {
    const TextInput source = TextInput::viewing(text);
    SourceLines walker(source, 0);
    Lines walked;
    size_t begin = 0;
    for (std::string_view line; walker.next(line);) {
      walked.emplace_back(line);
      EXPECT_EQ(walker.lineBegin(), begin);
      EXPECT_EQ(text.compare(begin, line.size(), line), 0);
      begin = walker.position();
    }
    EXPECT_EQ(begin, text.size());
    EXPECT_EQ(walked, lines(text)) << text.size();
  }
}

// Lines passed over in bulk are the lines that next() would give: not empty, beginning before the
// limit, with the bytes counted without their line ends; a walk that mixes both sees every line.
TEST(SourceLines, SkipsTheLinesThatNextWouldGive) {
  const std::vector<std::string> pieces = {"", "\r", "a", "ab\rc", "0123456789abcdefghij", "\r\r"};
  std::mt19937 random(3);
  for (int round = 0; round < 20; ++round) {
    std::string text;
    while (text.size() < SourceLines::kWindowBytes + 5000) {
      text += pieces[random() % pieces.size()] + (random() % 3 == 0 ? "\r\n" : "\n");
      if (random() % 50 == 0) text += pieces[random() % pieces.size()];
    }
    const Lines expected = lines(text);
    const TextInput source = TextInput::viewing(text);
    SourceLines walker(source, 0);
    size_t taken = 0;
    for (std::string_view line; walker.next(line);) {
      ASSERT_EQ(line, expected[taken++]);
      const size_t limit = walker.position() + random() % 3000;
      size_t bytes = 0;
      size_t begin = walker.position();
      const size_t skipped = walker.skipLines(limit, bytes);
      for (size_t k = 0; k < skipped; ++k, ++taken) {
        ASSERT_FALSE(expected[taken].empty()) << taken;
        ASSERT_LT(begin, limit);
        bytes -= expected[taken].size();
        begin = text.find('\n', begin) + 1;
      }
      ASSERT_EQ(bytes, 0u);
      ASSERT_EQ(walker.position(), begin);
    }
    EXPECT_EQ(taken, expected.size());
  }
}

}  // namespace
