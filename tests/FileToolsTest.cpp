#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "TestSupport.h"
#include "files/FileTools.h"
#include "files/OutputTarget.h"

using namespace relalg;

namespace {

std::string copyOf(std::string_view text) {
  std::ostringstream out;
  copy_content(text, out);
  return out.str();
}

TEST(CopyContent, EndsEveryLineAndAddsOneEmptyLine) {
  EXPECT_EQ(copyOf(""), "\n");
  EXPECT_EQ(copyOf("a\nb"), "a\nb\n\n");
  EXPECT_EQ(copyOf("a\nb\n"), "a\nb\n\n");
  EXPECT_EQ(copyOf("a\n\n"), "a\n\n\n");
  EXPECT_EQ(copyOf("a\r\nb\r\n"), "a\nb\n\n");
  EXPECT_EQ(copyOf("a\r\nb\nc\r"), "a\nb\nc\n\n");
  EXPECT_EQ(copyOf("a\r\r\n"), "a\r\n\n");
  EXPECT_EQ(copyOf("a\n\r"), "a\n\n\n");
  EXPECT_EQ(copyOf("\r"), "\n\n");
  EXPECT_EQ(copyOf("a\r\rb\r\r"), "a\r\rb\r\n\n");
}

// Where two long texts first differ, or npos.
size_t firstDifference(const std::string& a, const std::string& b) {
  const auto [at, _] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return at == a.end() && a.size() == b.size() ? std::string::npos
                                               : static_cast<size_t>(at - a.begin());
}

// The copy is written a window of a megabyte at a time: a line end may fall on either side of
// a window's edge.
TEST(CopyContent, CopiesLineEndsAcrossWindowEdges) {
  constexpr size_t kWindow = size_t{1} << 20;
  for (size_t at : {kWindow - 2, kWindow - 1, kWindow, kWindow + 1}) {
    for (std::string_view end : {"\r\n", "\r", "\n", "\r\r\n"}) {
      std::string text(at, 'x');
      text.replace(at - 10, 1, "\n");
      text += end;
      text += "tail";
      std::string expected = text;
      for (size_t pair = 0; (pair = expected.find("\r\n", pair)) != std::string::npos;) {
        expected.erase(pair, 1);
      }
      EXPECT_EQ(firstDifference(copyOf(text), expected + "\n\n"), std::string::npos)
          << at << " " << end.size();
      EXPECT_EQ(firstDifference(copyOf(text + "\r"), expected + "\n\n"), std::string::npos)
          << at << " " << end.size();
    }
  }
}

TEST(FileTools, ReportsFilesThatCannotBeOpened) {
  const std::string missing = "/nonexistent/relalg/input.txt";
  EXPECT_EQ(messageOf([&] { readFile(missing); }), "Hiba a fajl megnyitasa soran: " + missing);
  const ScratchFolder scratch;
  const std::string directory = scratch.file("folder");
  std::filesystem::create_directory(directory);
  EXPECT_EQ(messageOf([&] { readFile(directory); }), "Hiba a fajl megnyitasa soran: " + directory);
  EXPECT_EQ(messageOf([&] { safe_oopen(directory); }),
            "Hiba a fajl megnyitasa soran: " + directory);
}

TEST(FileTools, ReadsWhatWasWrittenAndReportsFailedWrites) {
  const ScratchFolder scratch;
  const std::string path = scratch.file("written.txt");
  auto out = safe_oopen(path);
  *out << std::string("x\0y\r\n", 5);
  safe_oclose(std::move(out), path);
  EXPECT_EQ(readFile(path), std::string("x\0y\r\n", 5));
  auto full = safe_oopen("/dev/full");
  *full << "data";
  EXPECT_EQ(messageOf([&] { safe_oclose(std::move(full), "/dev/full"); }),
            "Hiba a fajl irasa soran: /dev/full");
}

// The output file is written beside its place and renamed over it: a symbolic link to it stays a
// link and the file it names gets the bytes with its permissions kept, a hard link to it keeps
// the old bytes, and a device is written in place. Failed writes leave the old bytes (the cases
// run-failed-write-*).
TEST(FileTarget, ReplacesTheFileThatLinksNameAndKeepsItsPermissions) {
  const ScratchFolder scratch;
  const std::string file = scratch.file("out.txt");
  const std::string link = scratch.file("link.txt");
  const std::string hard = scratch.file("hard.txt");
  writeFile(file, "old");
  std::filesystem::create_symlink(file, link);
  std::filesystem::create_hard_link(file, hard);
  std::filesystem::permissions(file, std::filesystem::perms(0640));
  auto written = [](const std::string& path) {
    FileTarget target(path);
    target.open() << "new";
    target.close();
  };
  written(link);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readFile(link), "new");
  EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(readFile(hard), "old");
  written("/dev/null");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.file(".")), {}), 3);
}

}  // namespace
