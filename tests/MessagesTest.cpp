#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "base/Windows1250.h"

using namespace relalg;

namespace {

TEST(AdbException, WhatAndGetMessageGiveTheMessage) {
  const AdbException error("Nincs x nevu tabla.");
  EXPECT_STREQ(error.what(), "Nincs x nevu tabla.");
  const std::exception& general = error;
  EXPECT_STREQ(general.what(), "Nincs x nevu tabla.");
  const AdbException copy = error;
  EXPECT_EQ(copy.getMessage(), "Nincs x nevu tabla.");
  EXPECT_EQ(AdbException("").getMessage(), "");
}

TEST(Messages, FillPlaceholdersInOrderByteForByte) {
  EXPECT_EQ(message(MessageId::kNoSuchTable, {"emp"}), "Nincs emp nevu tabla.");
  EXPECT_EQ(message(MessageId::kCopySchemaMismatch, {"b", "result"}),
            "Nem azonos semaju tablak kozti masolas: b \xE9s result");
  EXPECT_EQ(message(MessageId::kProductTooLarge, {"3", "4"}),
            "A szorzat tul sok rekordot adna: 3 * 4");
  EXPECT_EQ(message(MessageId::kTooFewValues), "Kevesebb adat a rekordban, mint ahany oszlop van.");
  EXPECT_EQ(message(MessageId::kNotANumber, {std::string_view("\0x", 2)}),
            std::string("Nem alakithato szamma: \0x", 25));
}

// Whatever a message quotes, even the words of another message, it is found under its own entry.
TEST(Messages, EveryEntryIsFoundFromItsPrintedForm) {
  const std::string_view quoted[] = {"", "x", "Nincs annyi nev", " nevu oszlop.", " es ", "{A}"};
  for (const MessageInfo& info : allMessages()) {
    for (std::string_view text : quoted) {
      std::string printed;
      const size_t holes =
          static_cast<size_t>(std::count(info.pattern.begin(), info.pattern.end(), '{'));
      if (holes == 0) printed = message(info.id);
      if (holes == 1) printed = message(info.id, {text});
      if (holes == 2) printed = message(info.id, {text, text});
      if (holes == 3) printed = message(info.id, {text, text, text});
      for (size_t at = 0; holes > 3 && at < info.pattern.size();) {  // the pattern filled by hand
        const size_t open = std::min(info.pattern.find('{', at), info.pattern.size());
        printed.append(info.pattern.substr(at, open - at));
        if (open < info.pattern.size()) printed.append(text);
        at = open < info.pattern.size() ? info.pattern.find('}', open) + 1 : open;
      }
      const MessageInfo* found = findMessage(printed);
      ASSERT_NE(found, nullptr) << printed;
      EXPECT_EQ(found->id, info.id) << printed;
    }
  }
  EXPECT_EQ(findMessage("Nincs"), nullptr);
  EXPECT_EQ(findMessage("Hiba tortent:"), nullptr);
}

TEST(Messages, EveryEntryHasItsOwnPatternMeaningAndAFix) {
  std::set<std::string_view> patterns, meanings;
  for (const MessageInfo& info : allMessages()) {
    EXPECT_EQ(&messageInfo(info.id), &info);
    EXPECT_TRUE(patterns.insert(info.pattern).second) << info.pattern;
    EXPECT_TRUE(meanings.insert(info.meaning).second) << info.pattern;
    EXPECT_FALSE(info.fix.empty()) << info.pattern;
  }
  EXPECT_EQ(allMessages().size(), static_cast<size_t>(MessageId::kCount));
  EXPECT_EQ(shownPattern(messageInfo(MessageId::kCompareSchemaMismatch)),
            "Nem azonos semaju tablak osszehasonlitasa: LEFT es RIGHT");
}

TEST(Windows1250, ShowsTheLettersOfTheMessagesInUtf8) {
  EXPECT_EQ(windows1250ToUtf8(message(MessageId::kStrColumnIndex)),
            "StrColumn::getVal: t\xC3\xBAlindexel\xC3\xA9s");
  EXPECT_EQ(windows1250ToUtf8("\x80\x8A\xF5\xFB\x81"),
            "\xE2\x82\xAC\xC5\xA0\xC5\x91\xC5\xB1\xC2\x81");
  EXPECT_EQ(windows1250ToUtf8("plain"), "plain");
}

}  // namespace
