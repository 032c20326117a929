#include <gtest/gtest.h>

#include "TestSupport.h"
#include "storage/Table.h"

using namespace relalg;

namespace {

const char* kCompareMismatch = "Nem azonos semaju tablak osszehasonlitasa: ";
const char* kCopyMismatch = "Nem azonos semaju tablak kozti masolas: ";

TEST(SortRecords, OrdersIntegersBySignedValueAndStringsByUnsignedBytes) {
  EXPECT_EQ(records(*makeTable("t(i int)", {"10", "9", "-5"})->sortRecords()),
            (Records{"-5", "9", "10"}));
  EXPECT_EQ(
      records(*makeTable("t(s char(2))", {"b", "B", "a", "ab", "\xE1", "'z'"})->sortRecords()),
      (Records{"'z'", "B", "a", "ab", "b", "\xE1"}));
  EXPECT_EQ(records(*makeTable("t(i int, s char(1))", {"2 a", "1 z", "1 b"})->sortRecords()),
            (Records{"1,b", "1,z", "2,a"}));
}

TEST(SortRecords, KeepsRepeatsAndNamesTheResult) {
  auto sorted = makeTable("t(s char(1))", {"a", "b", "a"})->sortRecords();
  EXPECT_EQ(sorted->getName(), "result");
  EXPECT_EQ(records(*sorted), (Records{"a", "a", "b"}));
  EXPECT_EQ(makeTable("t(s char(1))")->sortRecords()->toString(), "result(s char(1))\n");
  EXPECT_EQ(makeTable("t")->sortRecords()->toString(), "result");
}

TEST(DeleteDuplicates, DropsOnlyAdjacentRepeatsAndKeepsTheName) {
  auto table = makeTable("t(s char(1))", {"a", "a", "b", "a"});
  auto distinct = table->deleteDuplicates();
  EXPECT_EQ(distinct->getName(), "t");
  EXPECT_EQ(records(*distinct), (Records{"a", "b", "a"}));
  EXPECT_EQ(records(*table->sortRecords()->deleteDuplicates()), (Records{"a", "b"}));
  EXPECT_EQ(makeTable("t")->deleteDuplicates()->toString(), "t");
}

TEST(CompareRecord, ChecksSchemasBeforeValues) {
  auto a = makeTable("a(x int, s char(3))", {"1 b", "1 a"});
  auto b = makeTable("b(x int, s char(3))", {"1 b"});
  EXPECT_EQ(a->compareRecord(0, b.get(), 0), 0);
  EXPECT_GT(a->compareRecord(0, a.get(), 1), 0);
  EXPECT_LT(a->compareRecord(1, b.get(), 0), 0);
  auto wider = makeTable("c(x int, s char(4))", {"1 b"});
  auto reordered = makeTable("d(s char(3), x int)", {"b 1"});
  EXPECT_EQ(messageOf([&] { a->compareRecord(0, wider.get(), 0); }),
            std::string(kCompareMismatch) + "a es c");
  EXPECT_EQ(messageOf([&] { a->compareRecord(0, reordered.get(), 0); }),
            std::string(kCompareMismatch) + "a es d");
  auto columnless = makeTable("t");
  EXPECT_EQ(columnless->compareRecord(0, columnless.get(), 0), 0);
  EXPECT_EQ(messageOf([] { makeTable("t")->compareRecord(0, makeTable("u").get(), 0); }),
            std::string(kCompareMismatch) + "t es u");
}

TEST(CompareRecord, SameSchemaTextWithOtherKindsIsAMismatch) {
  auto pair = makeTable("p");
  pair->add_column("'x", Column::INTEGER, "");
  pair->add_column("y'", Column::INTEGER, "");
  auto quoted = makeTable("q('x int, y' int)", {"1"});
  ASSERT_EQ(pair->fingerPrint(), quoted->fingerPrint());
  EXPECT_EQ(messageOf([&] { pair->compareRecord(0, quoted.get(), 0); }),
            std::string(kCompareMismatch) + "p es q");
}

TEST(CopyRecord, AppendsValuesOrFailsLeavingTheDestination) {
  auto source = makeTable("s(n char(9), i int)", {"'O''Br, x', 1"});
  auto destination = makeTable("d(n char(9), i int)");
  source->copyRecord(0, destination.get());
  EXPECT_EQ(records(*destination), Records{"'O''Br, x',1"});
  auto other = makeTable("o(n char(8), i int)");
  EXPECT_EQ(messageOf([&] { source->copyRecord(0, other.get()); }),
            std::string(kCopyMismatch) + "s \xE9s o");
  EXPECT_EQ(other->recordCount(), 0);
}

TEST(Union, MergesWithoutSorting) {
  auto sortedLeft = makeTable("l(s char(1))", {"a", "b"});
  auto sortedRight = makeTable("r(s char(1))", {"a", "d"});
  EXPECT_EQ(records(*sortedLeft->make_union(sortedRight.get())), (Records{"a", "b", "d"}));
  auto unsorted = makeTable("l(s char(1))", {"b", "a"});
  auto single = makeTable("r(s char(1))", {"a"});
  EXPECT_EQ(records(*unsorted->make_union(single.get())), (Records{"a", "b", "a"}));
  auto repeats = makeTable("l(s char(1))", {"a", "a"});
  auto b = makeTable("r(s char(1))", {"b"});
  EXPECT_EQ(records(*repeats->make_union(b.get())), (Records{"a", "a", "b"}));
  EXPECT_EQ(records(*unsorted->make_union(unsorted.get())), (Records{"b", "a"}));
  EXPECT_EQ(unsorted->make_union(single.get())->getName(), "result");
}

TEST(Union, SchemaMessageDependsOnWhichOperandIsEmpty) {
  auto full = makeTable("f(a int)", {"1"});
  auto empty = makeTable("e(a int)");
  auto other = makeTable("o(b int)", {"2"});
  auto otherEmpty = makeTable("oe(b int)");
  EXPECT_EQ(messageOf([&] { full->make_union(other.get()); }),
            std::string(kCompareMismatch) + "f es o");
  EXPECT_EQ(messageOf([&] { empty->make_union(other.get()); }),
            std::string(kCopyMismatch) + "o \xE9s result");
  EXPECT_EQ(full->make_union(otherEmpty.get())->toString(), "result(a int)\n1\n");
  EXPECT_EQ(empty->make_union(full.get())->toString(), "result(a int)\n1\n");
}

TEST(Minus, CancelsWhatTheMergeMeets) {
  auto left = makeTable("l(s char(1))", {"a", "b"});
  auto right = makeTable("r(s char(1))", {"a", "d"});
  EXPECT_EQ(records(*left->make_minus(right.get())), Records{"b"});
  auto unsorted = makeTable("l(s char(1))", {"b", "a"});
  auto single = makeTable("r(s char(1))", {"a"});
  EXPECT_EQ(records(*unsorted->make_minus(single.get())), (Records{"b", "a"}));
  auto repeats = makeTable("l(s char(1))", {"a", "a"});
  EXPECT_EQ(records(*repeats->make_minus(single.get())), Records{"a"});
  EXPECT_EQ(unsorted->make_minus(unsorted.get())->recordCount(), 0);
}

TEST(Minus, ChecksSchemasOnlyWhenBothOperandsHaveRecords) {
  auto full = makeTable("f(a int)", {"1"});
  auto other = makeTable("o(b int)", {"2"});
  auto otherEmpty = makeTable("oe(b int)");
  EXPECT_EQ(messageOf([&] { full->make_minus(other.get()); }),
            std::string(kCompareMismatch) + "f es o");
  EXPECT_EQ(full->make_minus(otherEmpty.get())->toString(), "result(a int)\n1\n");
  EXPECT_EQ(makeTable("e(a int)")->make_minus(other.get())->toString(), "result(a int)\n");
}

TEST(Product, PairsSortedOperands) {
  auto left = makeTable("l(i int, s char(1))", {"2 x", "1 y", "1 y"});
  auto right = makeTable("r(t char(1))", {"z", "w"});
  EXPECT_EQ(left->make_product(right.get())->toString(),
            "result(i int, s char(1), t char(1))\n"
            "1,y,w\n1,y,w\n1,y,z\n1,y,z\n2,x,w\n2,x,z\n");
}

TEST(Product, KeepsDuplicateColumnNamesAndOddApostrophes) {
  auto table = makeTable("t(a char(2))", {"x'", "y"});
  auto product = table->make_product(table.get());
  EXPECT_EQ(product->fingerPrint(), "(a char(2), a char(2))");
  EXPECT_EQ(records(*product), (Records{"x',x'", "x',y", "y,x'", "y,y"}));
  EXPECT_EQ(table->make_product(makeTable("e(b int)").get())->toString(),
            "result(a char(2), b int)\n");
  EXPECT_EQ(makeTable("t")->make_product(makeTable("u").get())->toString(), "result");
}

TEST(Project, SortsChosenColumnsAndDropsRepeats) {
  auto emp = makeTable("emp(name char(9), age int, dept char(5))",
                       {"b, 30, x", "a, 30, y", "b, 30, z", "a, 20, y"});
  EXPECT_EQ(emp->make_project("age,name")->toString(),
            "result(age int, name char(9))\n20,a\n30,a\n30,b\n");
  EXPECT_EQ(emp->make_project("(name,name)")->toString(),
            "result(name char(9), name char(9))\na,a\nb,b\n");
  EXPECT_EQ(emp->make_project("")->toString(), "result");
  EXPECT_EQ(messageOf([&] { emp->make_project("name,Age"); }), "Hibas projektalas: name,Age");
}

TEST(Project, WideTablesFindTheFirstColumnOfAName) {
  std::string header = "w(";
  std::string record;
  for (int k = 0; k < 40; ++k) {  // c0 .. c29, then c0 .. c9 again
    header += "c" + std::to_string(k % 30) + " int, ";
    record += std::to_string(k) + " ";
  }
  auto wide = makeTable(header + ")", {record});
  EXPECT_EQ(wide->make_project("c29,c5,c5")->toString(),
            "result(c29 int, c5 int, c5 int)\n29,5,5\n");
  EXPECT_EQ(wide->make_select("EQ(c9, 9)")->recordCount(), 1);
  EXPECT_EQ(wide->make_select("EQ(c9, 39)")->recordCount(), 0);
  EXPECT_EQ(messageOf([&] { wide->make_project("c30"); }), "Hibas projektalas: c30");
}

TEST(Rename, RenamesInPlaceFromFlatOrBracketedLists) {
  auto emp = makeTable("emp(n char(1), a int)", {"x 1"});
  EXPECT_EQ(emp->make_rename("staff(m,b)"), emp.get());
  EXPECT_EQ(emp->toString(), "staff(m char(1), b int)\nx,1\n");
  emp->make_rename("s,x,x");
  EXPECT_EQ(emp->fingerPrint(), "(x char(1), x int)");
  auto bare = makeTable("t");
  bare->make_rename("u");
  EXPECT_EQ(bare->toString(), "u");
}

TEST(Rename, RejectsWrongNameCountsKeepingWhatWasRenamed) {
  auto emp = makeTable("emp(n char(1), a int)");
  EXPECT_EQ(messageOf([&] { emp->make_rename(""); }), "Az atnevez\xE9s nem lehetseges erre: ");
  EXPECT_EQ(messageOf([&] { emp->make_rename("()"); }), "Az atnevez\xE9s nem lehetseges erre: ()");
  EXPECT_EQ(messageOf([&] { emp->make_rename("s(x)"); }),
            "Nincs annyi nev az atnevezeshez, mint ahany oszlop van.");
  EXPECT_EQ(emp->fingerPrint(), "(x char(1), a int)");
  EXPECT_EQ(emp->getName(), "s");
  EXPECT_EQ(messageOf([&] { emp->make_rename("r(p,q,z)"); }),
            "Tobb nev az atnevezeshez, mint a tabla oszlopainak szama!");
  EXPECT_EQ(emp->fingerPrint(), "(p char(1), q int)");
}

}  // namespace
