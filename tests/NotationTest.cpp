#include <gtest/gtest.h>

#include <string>

#include "notation/Notation.h"
#include "notation/NotationError.h"
#include "notation/NotationPlaces.h"

namespace relalg {
namespace {

constexpr std::string_view kTables = "\nr(a int, b char(5))\n1, x\n\ns(a int, c int)\n1, 2\n";

std::string coreLine(const std::string& program) {
  return lowerNotation(program + "\n" + std::string(kTables), Allowlist()).coreLine;
}

// The parse, the lowering and the writing of the line keep stacks of their own: depth costs no
// stack frames.
TEST(Notation, LowersDeepNestingsWithoutRecursion) {
  constexpr size_t kDepth = 100000;
  const std::string brackets = std::string(kDepth, '(') + "r" + std::string(kDepth, ')');
  const std::string condition = std::string(kDepth, '(') + "a = 1" + std::string(kDepth, ')');
  EXPECT_EQ(coreLine("X := " + brackets + "\n\xCF\x83[" + condition + "](X)"),
            "project(select(r, EQ(a, 1)), a, b)");

  std::string unions = "r";
  std::string expected = "project(r, a, b)";
  for (size_t k = 0; k < 3000; ++k) {
    unions = "\xCF\x80[a, b](r) \xE2\x88\xAA (" + unions + ")";
    expected = "union(project(r, a, b), " + expected + ")";
  }
  EXPECT_EQ(coreLine(unions), expected);
}

// Every stretch of the map lies in the line and points at notation bytes; the user's names point
// at their own words, the lowering's scaffolding at the operator it serves; a fresh name stands for
// the column a reader knows.
TEST(Notation, MapsTheCoreLineBackToTheNotation) {
  const std::string program = "r \xE2\x8B\x88 s";
  const LoweredInput lowered = lowerNotation(program + "\n" + std::string(kTables), Allowlist());
  EXPECT_EQ(lowered.coreLine,
            "project(select(rename(product(r, s), result(a, b, a_1, c)), EQ(a, a_1)), a, b, c)");
  ASSERT_FALSE(lowered.sourceMap.empty());
  const SourceSpan& top = lowered.sourceMap.front();
  EXPECT_EQ(top.coreBegin, 0u);
  EXPECT_EQ(top.coreEnd, lowered.coreLine.size());
  EXPECT_TRUE(top.origin.user);
  EXPECT_EQ(top.origin.begin, 0u);
  EXPECT_EQ(top.origin.end, program.size());
  size_t tables = 0;
  for (const SourceSpan& span : lowered.sourceMap) {
    const std::string core = lowered.coreLine.substr(span.coreBegin, span.coreEnd - span.coreBegin);
    const std::string notation =
        program.substr(span.origin.begin, span.origin.end - span.origin.begin);
    if (core == "r" || core == "s") {
      EXPECT_EQ(core, notation);
      EXPECT_TRUE(span.origin.user);
      ++tables;
    } else if (core.starts_with("rename") || core.starts_with("select")) {
      EXPECT_FALSE(span.origin.user) << core;
      EXPECT_EQ(notation, program);
    }
  }
  EXPECT_EQ(tables, 2u);
  ASSERT_EQ(lowered.freshNames.size(), 1u);
  EXPECT_EQ(lowered.freshNames[0], std::make_pair(std::string("a_1"), std::string("s.a")));
}

TEST(Notation, PassesCoreInputsThroughAndPlacesErrors) {
  const std::string core = "union(r, r);\nNagy, 7\n" + std::string(kTables);
  EXPECT_TRUE(isCoreInput(core));
  EXPECT_EQ(lowerNotation(core, Allowlist()).input, core);
  try {
    coreLine("A := r\nB := \xCF\x80[x](A)\nB");
    FAIL() << "no error";
  } catch (const NotationError& error) {
    const FilePlace place = placeOf("A := r\nB := \xCF\x80[x](A)", error.begin());
    EXPECT_EQ(place.line, 2u);
    EXPECT_EQ(place.column, 9u);
    EXPECT_EQ(error.end() - error.begin(), 1u);
  }
}

// What is said of the core line moves to the notation: a warning at a user's name to its letters,
// one on scaffolding away, an error to the operator that the failing node lowers, with the
// meaning; fresh names become the columns they stand for; table lines move down past the program.
TEST(NotationPlaces, MovesDiagnosticsToTheNotation) {
  const std::string file = "-- a join\nr \xE2\x8B\x88 s\n" + std::string(kTables);
  const LoweredInput lowered = lowerNotation(file, Allowlist());
  const NotationPlaces places(lowered, file);
  auto at = [&](Diagnostic::Severity severity, std::string_view bytes, size_t length) {
    return Diagnostic{severity, 1, lowered.coreLine.find(bytes) + 1, length, "of a_1"};
  };
  const std::vector<Diagnostic> placed = places.place({at(Diagnostic::kWarning, "s)", 1),
                                                       at(Diagnostic::kWarning, "rename", 6),
                                                       at(Diagnostic::kError, "select", 6),
                                                       {Diagnostic::kNote, 3, 1, 1, "r"}},
                                                      "it means");
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(placed[0].message, "relalgrun fails here: of s.a (it means)");
  EXPECT_EQ(std::make_pair(placed[0].line, placed[0].letterColumn), std::make_pair(2ul, 3ul));
  EXPECT_EQ(placed[0].letterLength, 1u);
  EXPECT_EQ(placed[1].message, "of s.a");
  EXPECT_EQ(std::make_pair(placed[1].line, placed[1].letterColumn), std::make_pair(2ul, 5ul));
  EXPECT_EQ(std::make_pair(placed[2].line, placed[2].column), std::make_pair(4ul, 1ul));
}

}  // namespace
}  // namespace relalg
