#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "evaluation/TableOperators.h"
#include "evaluation/TableOrdering.h"
#include "evaluation/TableSelect.h"
#include "storage/Table.h"

using namespace relalg;

namespace {

const char* kCompareMismatch = "Nem azonos semaju tablak osszehasonlitasa: ";
const char* kCopyMismatch = "Nem azonos semaju tablak kozti masolas: ";

TEST(SortRecords, OrdersIntegersBySignedValueAndStringsByUnsignedBytes) {
  EXPECT_EQ(records(*sortRecords(*makeTable("t(i int)", {"10", "9", "-5"}))),
            (Records{"-5", "9", "10"}));
  EXPECT_EQ(records(*sortRecords(*makeTable("t(s char(2))", {"b", "B", "a", "ab", "\xE1", "'z'"}))),
            (Records{"'z'", "B", "a", "ab", "b", "\xE1"}));
  EXPECT_EQ(records(*sortRecords(*makeTable("t(i int, s char(1))", {"2 a", "1 z", "1 b"}))),
            (Records{"1,b", "1,z", "2,a"}));
}

TEST(SortRecords, KeepsRepeatsAndNamesTheResult) {
  auto sorted = sortRecords(*makeTable("t(s char(1))", {"a", "b", "a"}));
  EXPECT_EQ(sorted->getName(), "result");
  EXPECT_EQ(records(*sorted), (Records{"a", "a", "b"}));
  EXPECT_EQ(sortRecords(*makeTable("t(s char(1))"))->toString(), "result(s char(1))\n");
  EXPECT_EQ(sortRecords(*makeTable("t"))->toString(), "result");
}

TEST(DeleteDuplicates, DropsOnlyAdjacentRepeatsAndKeepsTheName) {
  auto table = makeTable("t(s char(1))", {"a", "a", "b", "a"});
  auto distinct = deleteDuplicates(*table);
  EXPECT_EQ(distinct->getName(), "t");
  EXPECT_EQ(records(*distinct), (Records{"a", "b", "a"}));
  EXPECT_EQ(records(*deleteDuplicates(*sortRecords(*table))), (Records{"a", "b"}));
  EXPECT_EQ(deleteDuplicates(*makeTable("t"))->toString(), "t");
}

TEST(CompareRecord, ChecksSchemasBeforeValues) {
  auto a = makeTable("a(x int, s char(3))", {"1 b", "1 a"});
  auto b = makeTable("b(x int, s char(3))", {"1 b"});
  EXPECT_EQ(compareRecord(*a, 0, *b, 0), 0);
  EXPECT_GT(compareRecord(*a, 0, *a, 1), 0);
  EXPECT_LT(compareRecord(*a, 1, *b, 0), 0);
  auto wider = makeTable("c(x int, s char(4))", {"1 b"});
  auto reordered = makeTable("d(s char(3), x int)", {"b 1"});
  EXPECT_EQ(messageOf([&] { compareRecord(*a, 0, *wider, 0); }),
            std::string(kCompareMismatch) + "a es c");
  EXPECT_EQ(messageOf([&] { compareRecord(*a, 0, *reordered, 0); }),
            std::string(kCompareMismatch) + "a es d");
  auto columnless = makeTable("t");
  EXPECT_EQ(compareRecord(*columnless, 0, *columnless, 0), 0);
  EXPECT_EQ(messageOf([] { compareRecord(*makeTable("t"), 0, *makeTable("u"), 0); }),
            std::string(kCompareMismatch) + "t es u");
}

TEST(CompareRecord, SameSchemaTextWithOtherKindsIsAMismatch) {
  auto pair = makeTable("p");
  pair->add_column("'x", Column::INTEGER, "");
  pair->add_column("y'", Column::INTEGER, "");
  auto quoted = makeTable("q('x int, y' int)", {"1"});
  ASSERT_EQ(pair->fingerPrint(), quoted->fingerPrint());
  EXPECT_EQ(messageOf([&] { compareRecord(*pair, 0, *quoted, 0); }),
            std::string(kCompareMismatch) + "p es q");
}

TEST(CopyRecord, AppendsValuesOrFailsLeavingTheDestination) {
  auto source = makeTable("s(n char(9), i int)", {"'O''Br, x', 1"});
  auto destination = makeTable("d(n char(9), i int)");
  copyRecord(*source, 0, *destination);
  EXPECT_EQ(records(*destination), Records{"'O''Br, x',1"});
  auto other = makeTable("o(n char(8), i int)");
  EXPECT_EQ(messageOf([&] { copyRecord(*source, 0, *other); }),
            std::string(kCopyMismatch) + "s \xE9s o");
  EXPECT_EQ(other->recordCount(), 0);
}

TEST(Union, MergesWithoutSorting) {
  auto sortedLeft = makeTable("l(s char(1))", {"a", "b"});
  auto sortedRight = makeTable("r(s char(1))", {"a", "d"});
  EXPECT_EQ(records(*make_union(*sortedLeft, *sortedRight)), (Records{"a", "b", "d"}));
  auto unsorted = makeTable("l(s char(1))", {"b", "a"});
  auto single = makeTable("r(s char(1))", {"a"});
  EXPECT_EQ(records(*make_union(*unsorted, *single)), (Records{"a", "b", "a"}));
  auto repeats = makeTable("l(s char(1))", {"a", "a"});
  auto b = makeTable("r(s char(1))", {"b"});
  EXPECT_EQ(records(*make_union(*repeats, *b)), (Records{"a", "a", "b"}));
  EXPECT_EQ(records(*make_union(*unsorted, *unsorted)), (Records{"b", "a"}));
  EXPECT_EQ(make_union(*unsorted, *single)->getName(), "result");
}

TEST(Union, SchemaMessageDependsOnWhichOperandIsEmpty) {
  auto full = makeTable("f(a int)", {"1"});
  auto empty = makeTable("e(a int)");
  auto other = makeTable("o(b int)", {"2"});
  auto otherEmpty = makeTable("oe(b int)");
  EXPECT_EQ(messageOf([&] { make_union(*full, *other); }),
            std::string(kCompareMismatch) + "f es o");
  EXPECT_EQ(messageOf([&] { make_union(*empty, *other); }),
            std::string(kCopyMismatch) + "o \xE9s result");
  EXPECT_EQ(make_union(*full, *otherEmpty)->toString(), "result(a int)\n1\n");
  EXPECT_EQ(make_union(*empty, *full)->toString(), "result(a int)\n1\n");
}

TEST(Minus, CancelsWhatTheMergeMeets) {
  auto left = makeTable("l(s char(1))", {"a", "b"});
  auto right = makeTable("r(s char(1))", {"a", "d"});
  EXPECT_EQ(records(*make_minus(*left, *right)), Records{"b"});
  auto unsorted = makeTable("l(s char(1))", {"b", "a"});
  auto single = makeTable("r(s char(1))", {"a"});
  EXPECT_EQ(records(*make_minus(*unsorted, *single)), (Records{"b", "a"}));
  auto repeats = makeTable("l(s char(1))", {"a", "a"});
  EXPECT_EQ(records(*make_minus(*repeats, *single)), Records{"a"});
  EXPECT_EQ(make_minus(*unsorted, *unsorted)->recordCount(), 0);
}

TEST(Minus, ChecksSchemasOnlyWhenBothOperandsHaveRecords) {
  auto full = makeTable("f(a int)", {"1"});
  auto other = makeTable("o(b int)", {"2"});
  auto otherEmpty = makeTable("oe(b int)");
  EXPECT_EQ(messageOf([&] { make_minus(*full, *other); }),
            std::string(kCompareMismatch) + "f es o");
  EXPECT_EQ(make_minus(*full, *otherEmpty)->toString(), "result(a int)\n1\n");
  EXPECT_EQ(make_minus(*makeTable("e(a int)"), *other)->toString(), "result(a int)\n");
}

TEST(Product, PairsSortedOperands) {
  auto left = makeTable("l(i int, s char(1))", {"2 x", "1 y", "1 y"});
  auto right = makeTable("r(t char(1))", {"z", "w"});
  EXPECT_EQ(make_product(*left, *right)->toString(),
            "result(i int, s char(1), t char(1))\n"
            "1,y,w\n1,y,w\n1,y,z\n1,y,z\n2,x,w\n2,x,z\n");
}

TEST(Product, KeepsDuplicateColumnNamesAndOddApostrophes) {
  auto table = makeTable("t(a char(2))", {"x'", "y"});
  auto product = make_product(*table, *table);
  EXPECT_EQ(product->fingerPrint(), "(a char(2), a char(2))");
  EXPECT_EQ(records(*product), (Records{"x',x'", "x',y", "y,x'", "y,y"}));
  EXPECT_EQ(make_product(*table, *makeTable("e(b int)"))->toString(), "result(a char(2), b int)\n");
  EXPECT_EQ(make_product(*makeTable("t"), *makeTable("u"))->toString(), "result");
}

// Operands of zero to two records, sorted or not: a product that may take the columns of spent
// operands gives what one that copies them gives.
TEST(Product, SpentOperandsGiveTheSameTable) {
  const std::vector<std::vector<std::string>> recordLists = {
      {}, {"1 b"}, {"1 a", "2 b"}, {"2 b", "1 a"}, {"1 a", "1 a"}};
  for (const auto& leftRecords : recordLists) {
    for (const auto& rightRecords : recordLists) {
      const std::string expected = make_product(*makeTable("l(i int, s char(1))", leftRecords),
                                                *makeTable("r(j int, t char(1))", rightRecords))
                                       ->toString();
      for (int spent = 0; spent < 4; ++spent) {
        auto left = makeTable("l(i int, s char(1))", leftRecords);
        auto right = makeTable("r(j int, t char(1))", rightRecords);
        EXPECT_EQ(make_product(*left, *right, spent & 1, spent & 2)->toString(), expected);
      }
    }
  }
}

TEST(Project, SortsChosenColumnsAndDropsRepeats) {
  auto emp = makeTable("emp(name char(9), age int, dept char(5))",
                       {"b, 30, x", "a, 30, y", "b, 30, z", "a, 20, y"});
  EXPECT_EQ(make_project(*emp, "age,name")->toString(),
            "result(age int, name char(9))\n20,a\n30,a\n30,b\n");
  EXPECT_EQ(make_project(*emp, "(name,name)")->toString(),
            "result(name char(9), name char(9))\na,a\nb,b\n");
  EXPECT_EQ(make_project(*emp, "")->toString(), "result");
  EXPECT_EQ(messageOf([&] { make_project(*emp, "name,Age"); }), "Hibas projektalas: name,Age");
}

TEST(Project, WideTablesFindTheFirstColumnOfAName) {
  std::string header = "w(";
  std::string record;
  for (int k = 0; k < 40; ++k) {  // c0 .. c29, then c0 .. c9 again
    header += "c" + std::to_string(k % 30) + " int, ";
    record += std::to_string(k) + " ";
  }
  auto wide = makeTable(header + ")", {record});
  EXPECT_EQ(make_project(*wide, "c29,c5,c5")->toString(),
            "result(c29 int, c5 int, c5 int)\n29,5,5\n");
  EXPECT_EQ(make_select(*wide, "EQ(c9, 9)")->recordCount(), 1);
  EXPECT_EQ(make_select(*wide, "EQ(c9, 39)")->recordCount(), 0);
  EXPECT_EQ(messageOf([&] { make_project(*wide, "c30"); }), "Hibas projektalas: c30");
}

TEST(Rename, RenamesInPlaceFromFlatOrBracketedLists) {
  auto emp = makeTable("emp(n char(1), a int)", {"x 1"});
  EXPECT_EQ(&make_rename(*emp, "staff(m,b)"), emp.get());
  EXPECT_EQ(emp->toString(), "staff(m char(1), b int)\nx,1\n");
  make_rename(*emp, "s,x,x");
  EXPECT_EQ(emp->fingerPrint(), "(x char(1), x int)");
  auto bare = makeTable("t");
  make_rename(*bare, "u");
  EXPECT_EQ(bare->toString(), "u");
}

TEST(Rename, RejectsWrongNameCountsKeepingWhatWasRenamed) {
  auto emp = makeTable("emp(n char(1), a int)");
  EXPECT_EQ(messageOf([&] { make_rename(*emp, ""); }), "Az atnevez\xE9s nem lehetseges erre: ");
  EXPECT_EQ(messageOf([&] { make_rename(*emp, "()"); }), "Az atnevez\xE9s nem lehetseges erre: ()");
  EXPECT_EQ(messageOf([&] { make_rename(*emp, "s(x)"); }),
            "Nincs annyi nev az atnevezeshez, mint ahany oszlop van.");
  EXPECT_EQ(emp->fingerPrint(), "(x char(1), a int)");
  EXPECT_EQ(emp->getName(), "s");
  EXPECT_EQ(messageOf([&] { make_rename(*emp, "r(p,q,z)"); }),
            "Tobb nev az atnevezeshez, mint a tabla oszlopainak szama!");
  EXPECT_EQ(emp->fingerPrint(), "(p char(1), q int)");
}

}  // namespace
