#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "TestSupport.h"
#include "storage/Table.h"

using namespace relalg;

namespace {

TEST(Table, ReadsHeaderLines) {
  struct {
    std::string header;
    std::string name;
    std::string fingerPrint;
  } cases[] = {
      {"emp(name char(20), age int)", "emp", "(name char(20), age int)"},
      {"emp name char 20 age int", "emp", "(name char(20), age int)"},
      {"emp ( name varchar ( 20 ) ,age int )", "emp", "(name char(20), age int)"},
      {"t(code char(007))", "t", "(code char(007))"},
      {"t(a INT)", "t", "(a char())"},
      {"t(a int(5), b int)", "t", "(a int, 5 char(int))"},
      {"t(a char(10), b)", "t", "(a char(10), b char())"},
      {"t", "t", "t"},
      {"t()", "t", "t"},
      {"(a int)", "a", "(int char())"},
      {"'my table'(a int)", "'my table'", "(a int)"},
      {"t(a int, a int)", "t", "(a int, a int)"},
      {"t('a b' int)", "t", "('a b' int)"},
  };
  for (const auto& c : cases) {
    Table table(c.header);
    EXPECT_EQ(table.getName(), c.name) << c.header;
    EXPECT_EQ(table.fingerPrint(), c.fingerPrint) << c.header;
  }
  EXPECT_EQ(messageOf([] { Table("() ,"); }), "Nev nelkuli tabla nem hozhato letre!");
}

TEST(Table, ReadsRecordLines) {
  struct {
    std::string line;
    std::string record;
  } cases[] = {
      {"'Zova Bela', 42", "'Zova Bela',42"},
      {"Nagy 7", "Nagy,7"},
      {"(Toth, -3)", "Toth,-3"},
      {"Kovacs,,,007", "Kovacs,7"},
      {"Kovacs, -", "Kovacs,0"},
      {"Abcdefghijklmnopqrstuvwxyz, 1", "Abcdefghijklmnopqrstuvwxyz,1"},
      {"a\tb, -0", "a\tb,0"},
  };
  for (const auto& c : cases) {
    auto table = makeTable("emp(name char(20), age int)", {c.line});
    EXPECT_EQ(table->getRecord(0), c.record) << c.line;
  }
}

// A record line that fails half way leaves no value behind, so every column keeps the length of
// the others and the table reads and renders as before.
TEST(Table, RejectsRecordLinesAllOrNothing) {
  struct {
    std::string line;
    std::string message;
  } cases[] = {
      {"Szabo, 1", "Kevesebb adat a rekordban, mint ahany oszlop van."},
      {"   ", "Kevesebb adat a rekordban, mint ahany oszlop van."},
      {"O'Brien, 42, IT", "Kevesebb adat a rekordban, mint ahany oszlop van."},
      {"Szabo, 1, IT, 2", "Tobb adat mint a tabla oszlopainak szama!"},
      {"Szabo, +1, IT", "Nem alakithato szamma: +1"},
      {"Szabo, '42', IT", "Nem alakithato szamma: '42'"},
  };
  for (const auto& c : cases) {
    auto table = makeTable("emp(name char(20), age int, dept char(5))", {"Kiss, 30, IT"});
    EXPECT_EQ(messageOf([&] { table->addRecord(c.line); }), c.message) << c.line;
    for (const auto& column : table->columns()) EXPECT_EQ(column->getSize(), 1) << c.line;
    table->addRecord("Nagy, 7, HR");
    EXPECT_EQ(table->toString(),
              "emp(name char(20), age int, dept char(5))\nKiss,30,IT\nNagy,7,HR\n")
        << c.line;
  }
}

TEST(Table, TableWithoutColumnsTakesOnlyEmptyRecords) {
  Table table("t()");
  EXPECT_EQ(table.addRecord("  "), 1);
  EXPECT_EQ(table.recordCount(), 0);
  EXPECT_EQ(messageOf([&] { table.addRecord("x"); }), "Tobb adat mint a tabla oszlopainak szama!");
  EXPECT_EQ(table.toString(), "t");
}

TEST(Table, RendersTheWorkedExampleByteForByte) {
  auto table = makeTable("emp ( name varchar ( 20 ) ,age int )",
                         {"'Zova Bela', 42", "Nagy 7", "(Toth, -3)"});
  EXPECT_EQ(table->fingerPrint(), "(name char(20), age int)");
  const std::string expected = "emp(name char(20), age int)\n'Zova Bela',42\nNagy,7\nToth,-3\n";
  EXPECT_EQ(table->toString(), expected);
  EXPECT_EQ(table->toString().size(), 58u);
  std::ostringstream written;
  table->toString(written);
  EXPECT_EQ(written.str(), expected);
  EXPECT_EQ(makeTable("emp(name char(20), age int)")->toString(), "emp(name char(20), age int)\n");
}

TEST(Table, LooksUpColumnsAndValuesByExactName) {
  auto table = makeTable("t(a int, a char(3), B char(1))", {"1, x, y"});
  EXPECT_EQ(table->getColumnByName("a")->getType(), Column::INTEGER);
  EXPECT_EQ(table->getColumnByName("b"), nullptr);
  EXPECT_EQ(table->getval_i("a", 0), 1);
  EXPECT_EQ(table->getval_s("B", 0), "y");
  EXPECT_EQ(messageOf([&] { table->getval_s("fizetes", 0); }), "Nincs fizetes nevu oszlop.");
  EXPECT_EQ(messageOf([&] { table->getval_i("a", 1); }), "IntColumn::getVal: t\xFAlindexel\xE9s");
}

TEST(Table, RecordIndexErrorsNameTheFirstShortColumnsClass) {
  auto strings = makeTable("t(s char(1), i int)", {"x, 1"});
  auto ints = makeTable("t(i int, s char(1))", {"1, x"});
  EXPECT_EQ(messageOf([&] { strings->getRecord(1); }), "StrColumn::getVal: t\xFAlindexel\xE9s");
  EXPECT_EQ(messageOf([&] { ints->getRecord(-1); }), "IntColumn::getVal: t\xFAlindexel\xE9s");
  // A column shortened through its handle is not read past its end.
  ints->getColumnByName("s")->truncate(0);
  EXPECT_EQ(messageOf([&] { ints->getRecord(0); }), "StrColumn::getVal: t\xFAlindexel\xE9s");
}

// A column added to a table that holds records would be shorter than the others, and reading
// a record would run past its end: the table refuses it and stays as it was.
TEST(Table, AddsColumnsOnlyWhileEmptyAndCopiesAreIndependent) {
  auto table = makeTable("t(a int)");
  table->add_column("s", Column::STRING, "9");
  table->add_column("n", Column::INTEGER, "ignored");
  EXPECT_EQ(table->fingerPrint(), "(a int, s char(9), n int)");
  table->addRecord("1, x, 2");
  Table copy(*table);
  EXPECT_EQ(messageOf([&] { table->add_column("late", Column::STRING, "1"); }),
            "Rekordokat tartalmazo tablahoz nem adhato oszlop: t");
  EXPECT_EQ(table->toString(), "t(a int, s char(9), n int)\n1,x,2\n");
  table->addRecord("2, y, 3");
  EXPECT_EQ(records(copy), (Records{"1,x,2"}));
  EXPECT_EQ(resultTableName(), "result");
}

// The lines of a run of records are written straight into room made for them: they must be the
// record texts, whatever the lengths of the values (the short ones are copied in pieces) and the
// integers, with string columns coded or not.
TEST(Table, WritesRunsOfRecordsAsTheirRecordTexts) {
  for (int distinct : {7, 400}) {
    auto table = makeTable("t(s char(5), n int, e char(1), m int)");
    auto& s = static_cast<StrColumn&>(*table->getColumnByName("s"));
    auto& n = static_cast<IntColumn&>(*table->getColumnByName("n"));
    auto& e = static_cast<StrColumn&>(*table->getColumnByName("e"));
    auto& m = static_cast<IntColumn&>(*table->getColumnByName("m"));
    const int extremes[] = {0, -1, 9, 10, -2147483647 - 1, 2147483647, 123456789};
    for (int k = 0; k < 1000; ++k) {
      const int length = k % distinct % 21;
      s.addVal(
          std::string(static_cast<size_t>(length), static_cast<char>('a' + k % distinct % 26)) +
          std::to_string(k % distinct));
      n.addVal(extremes[(k + k / 7) % 7]);
      e.addVal(k % 5 == 0 ? "" : "'x y'");
      m.addVal(-k);
    }
    ASSERT_EQ(s.coded(), distinct == 7);
    for (const auto& [begin, end] : {std::pair{0, 1000}, std::pair{3, 4}, std::pair{500, 500}}) {
      std::string expected = "head";
      for (int row = begin; row < end; ++row) {
        table->getRecord(static_cast<size_t>(row), expected);
        expected += '\n';
      }
      RawVector<char> lines{'h', 'e', 'a', 'd'};
      table->appendRecordLines(lines, static_cast<size_t>(begin), static_cast<size_t>(end));
      EXPECT_EQ(std::string(lines.begin(), lines.end()), expected) << distinct << " " << begin;
    }
  }
}

}  // namespace
