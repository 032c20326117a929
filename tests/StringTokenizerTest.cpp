#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/AdbException.h"
#include "language/StringTokenizer.h"

using namespace relalg;

namespace {

std::vector<std::string> tokens(const std::string& text) {
  std::vector<std::string> result;
  for (StringTokenizer tokenizer(text); tokenizer.hasMoreTokens();) {
    result.emplace_back(tokenizer.nextToken());
  }
  return result;
}

using Tokens = std::vector<std::string>;

TEST(StringTokenizer, SplitsAtRunsOfSeparatorsAndKeepsQuotedStretches) {
  struct {
    std::string text;
    Tokens expected;
  } cases[] = {
      {"", {}},
      {" ,() ,", {}},
      {"(a)", {"a"}},
      {"a,,b", {"a", "b"}},
      {"a , b", {"a", "b"}},
      {"emp(name char(20), age int)", {"emp", "name", "char", "20", "age", "int"}},
      {"'Zova Bela', 42", {"'Zova Bela'", "42"}},
      {"'x, y'", {"'x, y'"}},
      {"'abc", {"'abc"}},
      {"ab'de fg'h next", {"ab'de fg'h", "next"}},
      {"''a b", {"''a", "b"}},
      {"O'Brien, 42", {"O'Brien, 42"}},
      {"a\tb c", {"a\tb", "c"}},
  };
  for (const auto& c : cases) EXPECT_EQ(tokens(c.text), c.expected) << c.text;
}

TEST(StringTokenizer, GivesEmptyTokenWhenExhausted) {
  StringTokenizer tokenizer("a");
  EXPECT_EQ(tokenizer.nextToken(), "a");
  EXPECT_FALSE(tokenizer.hasMoreTokens());
  EXPECT_EQ(tokenizer.nextToken(), "");
}

TEST(StringTokenizer, HonoursOtherSeparatorsAndQuotes) {
  StringTokenizer tokenizer("a;b|\"c;d\"", ";|", '"');
  EXPECT_TRUE(tokenizer.is_separator('|'));
  EXPECT_FALSE(tokenizer.is_separator(','));
  EXPECT_EQ(tokenizer.nextToken(), "a");
  EXPECT_EQ(tokenizer.nextToken(), "b");
  EXPECT_EQ(tokenizer.nextToken(), "\"c;d\"");
}

TEST(StringTokenizer, WordAtATimeScanAgreesWithByteAtATimeScan) {
  // The usual separators take a faster path than the same separators given in another order.
  const char alphabet[] = {'a', 'b', ' ', ',', '(', ')', '\'', '\x80', '\xFF', '\0', '\t', 'z'};
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const size_t size = random() % 40;
    for (size_t k = 0; k < size; ++k) {
      // Mostly ordinary bytes, so that tokens cross eight-byte boundaries.
      text.push_back(random() % 4 == 0 ? alphabet[random() % sizeof alphabet] : 'x');
    }
    StringTokenizer fast(text);
    StringTokenizer slow(text, "(), ", '\'');
    while (fast.hasMoreTokens() || slow.hasMoreTokens()) {
      ASSERT_EQ(fast.nextToken(), slow.nextToken()) << text;
    }
  }
}

TEST(Itos, WritesCanonicalDecimals) {
  EXPECT_EQ(itos(0), "0");
  EXPECT_EQ(itos(-7), "-7");
  EXPECT_EQ(itos(123), "123");
  EXPECT_EQ(itos(INT_MAX), "2147483647");
  EXPECT_EQ(itos(INT_MIN), "-2147483648");
}

TEST(Stoi, ReadsIntegerFields) {
  struct {
    const char* text;
    int expected;
  } cases[] = {
      {"", 0},
      {"   ", 0},
      {"-", 0},
      {"-0", 0},
      {" 42 ", 42},
      {"007", 7},
      {"-12", -12},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"00000000000000000000001", 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(relalg::stoi(std::string_view(c.text)), c.expected) << c.text;
}

TEST(Stoi, RejectsBadCharactersAndOutOfRangeValuesNamingTheWholeText) {
  const char* cases[] = {"+5",         "--1",         "1.5",        "x",
                         "4 2",        "1\t",         "'42'",       "\xE9",
                         "2147483648", "-2147483649", "4294967296", "99999999999999999999999"};
  for (const char* text : cases) {
    try {
      relalg::stoi(std::string_view(text));
      ADD_FAILURE() << "accepted " << text;
    } catch (const AdbException& error) {
      EXPECT_EQ(error.getMessage(), std::string("Nem alakithato szamma: ") + text);
    }
  }
}

TEST(Stoi, ItosRoundTripsCanonicalTexts) {
  for (int value : {0, 1, -1, 10, -10, 65535, INT_MAX, INT_MIN, INT_MIN + 1}) {
    EXPECT_EQ(relalg::stoi(std::string_view(itos(value))), value);
    EXPECT_EQ(relalg::stoi(itos(value)), value);
  }
}

// An unqualified call with a std::string must not compile: argument-dependent lookup would find
// std::stoi, which reads "+5" as 5 where the system's stoi rejects it.
template <class Text>
concept UnqualifiedStoiCompiles = requires(Text text) {
  stoi(text);
};
static_assert(!UnqualifiedStoiCompiles<std::string>);
static_assert(UnqualifiedStoiCompiles<std::string_view>);
static_assert(UnqualifiedStoiCompiles<const char*>);

TEST(Stoi, EveryOverloadIsTheSystemsOwn) {
  const std::string plus = "+5";
  EXPECT_EQ(messageOf([&] { relalg::stoi(plus); }), "Nem alakithato szamma: +5");
  EXPECT_EQ(messageOf([] { stoi("+5"); }), "Nem alakithato szamma: +5");
  EXPECT_EQ(messageOf([&] { stoi(std::string_view(plus)); }), "Nem alakithato szamma: +5");
}

// A copy reads its own separators, also once the original has changed or is gone.
TEST(StringTokenizer, CopiesKeepTheirOwnSeparators) {
  const std::string text = "a;b c";
  StringTokenizer original(text, ";", '\'');
  StringTokenizer copy = original;
  StringTokenizer assigned(text);
  assigned = original;
  original = StringTokenizer(text, " ", '\'');
  for (StringTokenizer* tokenizer : {&copy, &assigned}) {
    EXPECT_EQ(tokenizer->nextToken(), "a");
    EXPECT_EQ(tokenizer->nextToken(), "b c");
    EXPECT_FALSE(tokenizer->hasMoreTokens());
  }
  EXPECT_EQ(original.nextToken(), "a;b");
  StringTokenizer usual(text);
  StringTokenizer usualCopy = usual;
  EXPECT_EQ(usualCopy.nextToken(), "a;b");
  EXPECT_EQ(usual.nextToken(), "a;b");
}

}  // namespace
