#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "TestSupport.h"
#include "files/FileTools.h"

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
}

TEST(FileTools, ReportsFilesThatCannotBeOpened) {
  const std::string missing = "/nonexistent/relalg/input.txt";
  EXPECT_EQ(messageOf([&] { read_file(missing); }), "Hiba a fajl megnyitasa soran: " + missing);
  const std::string directory = std::filesystem::temp_directory_path().string();
  EXPECT_EQ(messageOf([&] { read_file(directory); }), "Hiba a fajl megnyitasa soran: " + directory);
  EXPECT_EQ(messageOf([&] { safe_oopen(directory); }),
            "Hiba a fajl megnyitasa soran: " + directory);
}

TEST(FileTools, ReadsWhatWasWrittenAndReportsFailedWrites) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "relalg-filetools.txt").string();
  auto out = safe_oopen(path);
  *out << std::string("x\0y\r\n", 5);
  safe_oclose(std::move(out), path);
  EXPECT_EQ(read_file(path), std::string("x\0y\r\n", 5));
  std::remove(path.c_str());
  auto full = safe_oopen("/dev/full");
  *full << "data";
  EXPECT_EQ(messageOf([&] { safe_oclose(std::move(full), "/dev/full"); }),
            "Hiba a fajl irasa soran: /dev/full");
}

}  // namespace
