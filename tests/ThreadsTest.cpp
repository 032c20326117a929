#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/Threads.h"
#include "evaluation/TableOperators.h"
#include "files/FileTools.h"
#include "files/InputSource.h"
#include "files/OutputTarget.h"
#include "run/RunSequence.h"

using namespace relalg;

namespace {

// Sets RELALG_THREADS for the life of the object, and restores what was there.
class ThreadSetting {
 public:
  explicit ThreadSetting(const char* value) {
    if (const char* old = std::getenv("RELALG_THREADS"); old != nullptr) old_ = old;
    set(value);
  }
  ~ThreadSetting() { set(old_.empty() ? nullptr : old_.c_str()); }
  ThreadSetting(const ThreadSetting&) = delete;
  ThreadSetting& operator=(const ThreadSetting&) = delete;

 private:
  static void set(const char* value) {
    if (value == nullptr) {
      unsetenv("RELALG_THREADS");
    } else {
      setenv("RELALG_THREADS", value, 1);
    }
  }
  std::string old_;
};

TEST(ThreadCount, TakesAPositiveNumberFromTheEnvironmentAndTheProcessorsOtherwise) {
  unsigned processors = 0;
  {
    ThreadSetting none(nullptr);
    processors = threadCount();
  }
  EXPECT_GE(processors, 1u);
  const struct {
    const char* value;
    unsigned expected;
  } cases[] = {{"1", 1},
               {"2", 2},
               {"7", 7},
               {"64", kMaxThreads},
               {"100000", kMaxThreads},
               {"0", processors},
               {"-3", processors},
               {"", processors},
               {"2x", processors},
               {"many", processors}};
  for (const auto& c : cases) {
    ThreadSetting setting(c.value);
    EXPECT_EQ(threadCount(), c.expected) << "RELALG_THREADS=" << c.value;
  }
}

TEST(RunPieces, RunsEveryPieceOnceAndReportsTheLowestFailure) {
  std::vector<std::atomic<int>> runs(9);
  runPieces(runs.size(), [&runs](size_t piece) { ++runs[piece]; });
  for (const auto& count : runs) EXPECT_EQ(count.load(), 1);

  std::atomic<int> finished{0};
  try {
    runPieces(6, [&finished](size_t piece) {
      if (piece == 2 || piece == 4) throw std::runtime_error("piece " + std::to_string(piece));
      ++finished;
    });
    FAIL() << "no failure reported";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "piece 2");
  }
  EXPECT_EQ(finished.load(), 4);  // the pieces after a failed one still ran to their end
  runPieces(0, [](size_t) { FAIL() << "a piece of none ran"; });
}

// Work that nobody will use stops at its next look: under its own token or one it was started
// under, in its own thread and in the pieces it runs.
TEST(CancelToken, CancelledWorkStopsAtItsNextLook) {
  auto table = makeTable("t(a int)", {"2", "1", "3"});
  CancelToken parent;
  CancelToken child(&parent);
  {
    const CancelScope scope(&child);
    EXPECT_EQ(make_product(*table, *table)->recordCount(), 9);
    parent.cancel();
    EXPECT_TRUE(child.cancelled());
    EXPECT_THROW(make_product(*table, *table), Cancelled);
    EXPECT_THROW(runPieces(2, [](size_t) { throwIfCancelled(); }), Cancelled);
  }
  EXPECT_NO_THROW(throwIfCancelled());
  EXPECT_EQ(make_product(*table, *table)->recordCount(), 9);
}

TEST(EvenCut, CoversTheItemsInNearEqualRanges) {
  const EvenCut cut{10, 4};
  const std::vector<size_t> begins{cut.begin(0), cut.begin(1), cut.begin(2), cut.begin(3),
                                   cut.begin(4)};
  EXPECT_EQ(begins, (std::vector<size_t>{0, 3, 6, 8, 10}));
  EXPECT_EQ(EvenCut({3, 5}).begin(5), 3u);
}

// A whole run in memory: status, message and output bytes.
struct WholeRun {
  int status;
  std::string message;
  std::string output;
  bool operator==(const WholeRun&) const = default;
};

WholeRun runOn(const std::function<std::unique_ptr<InputSource>()>& openSource) {
  MemoryTarget output;
  const RunOutcome outcome = runSequence(openSource, &output);
  return {outcome.status, outcome.message, output.bytes()};
}

// The run of input held in memory; the same input read from a file where it lies (a window and
// a stretch at a time) must give the same run.
WholeRun runWithThreads(const char* threads, const std::string& input) {
  ThreadSetting setting(threads);
  const WholeRun inMemory = runOn([&input] { return TextInput::holding(input); });
  const ScratchFolder scratch;
  const std::string path = scratch.file("input.txt");
  std::ofstream(path, std::ios::binary) << input;
  const WholeRun fromFile = runOn([&path] { return openInput(path, path + ".out"); });
  EXPECT_TRUE(fromFile == inMemory) << "read from a file on " << threads << " threads";
  return inMemory;
}

// An input whose table emp(name, age, dept) holds count records, long enough to be read,
// selected and written in pieces; the age of record k is ageOf(k), and line k is replaced by
// lines[k] where lines has an entry for it.
template <class AgeOf>
std::string bigInput(const std::string& expression, size_t count, AgeOf ageOf,
                     const std::vector<std::pair<size_t, std::string>>& lines = {}) {
  static const char* kDepartments[] = {"Sales", "Legal", "Admin", "'Big Data'"};
  std::string text = expression + "\n\nemp(name char(20), age int, dept char(10))\n";
  for (size_t k = 0; k < count; ++k) {
    std::string line = "Nev" + std::to_string((k * 7919) % count) + ", " +
                       std::to_string(ageOf(k)) + ", " + kDepartments[k % 4];
    for (const auto& [at, replacement] : lines) {
      if (at == k) line = replacement;
    }
    text += line + "\n";
  }
  text += "\nemp2(name char(20), age int, dept char(10))\n";
  for (size_t k = 0; k < count / 2; ++k) {
    text += "Nev" + std::to_string(k * 3) + ", " + std::to_string(k % 50) + ", Sales\n";
  }
  return text;
}

const char* const kThreadCounts[] = {"2", "3", "8"};

// Every workload shape, over a table big enough for pieces on every thread count: the bytes are
// those of one thread.
TEST(ThreadCountInvariance, GivesTheBytesOfOneThread) {
  const char* expressions[] = {
      "emp",
      "select(emp, AND(GTE(age, 30), NEQ(dept, Sales)))",
      "project(emp, dept, age)",
      "union(project(emp, name, age), project(emp2, name, age))",
      "minus(emp, union(emp2, select(emp, LT(age, 20))))",
      "product(select(emp, EQ(age, 3)), project(emp2, dept))",
      "union(rename(emp2, emp(name, age, dept)), emp)",
      "minus(emp2, rename(emp, emp2(name, age, dept)))",
  };
  for (const char* expression : expressions) {
    const size_t records = std::string_view(expression) == "emp" ? 250000 : 70000;
    const std::string input = bigInput(expression, records, [](size_t k) { return k % 60; });
    const WholeRun one = runWithThreads("1", input);
    EXPECT_EQ(one.status, 0) << expression << ": " << one.message;
    for (const char* threads : kThreadCounts) {
      EXPECT_TRUE(runWithThreads(threads, input) == one)
          << expression << " with " << threads << " threads";
    }
  }
}

// Lines ended by CRLF, a last line without a line feed, and one line longer than a stretch are
// read on every thread count as on one.
TEST(ThreadCountInvariance, ReadsEveryKindOfLineEndAsOneThreadDoes) {
  std::string crlf;
  for (char c : bigInput("emp", 250000, [](size_t k) { return k % 70; })) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  std::string longLine = bigInput("emp", 100000, [](size_t k) { return k % 70; });
  longLine.insert(longLine.find("Nev7919,"), "'" + std::string(size_t{3} << 20, 'x') + "', 1, y\n");
  const std::string lastWithoutFeed =
      bigInput("project(emp, age)", 150000, [](size_t k) { return k % 70; }) + "Utolso, 99, z";
  for (const std::string& input : {crlf, longLine, lastWithoutFeed}) {
    const WholeRun one = runWithThreads("1", input);
    EXPECT_EQ(one.status, 0) << one.message;
    for (const char* threads : kThreadCounts) {
      EXPECT_TRUE(runWithThreads(threads, input) == one) << threads << " threads";
    }
  }
}

// The failure reported is the first that one thread meets: in record order while reading and
// selecting, the first operand's before the second's.
TEST(ThreadCountInvariance, ReportsTheFailureThatOneThreadMeetsFirst) {
  const auto noAge = [](size_t) { return 5; };
  // Record 30000 reaches the part that names missTwo first; record 60000 the one naming missOne.
  const auto twoFaults = [](size_t k) { return k == 30000 ? 2 : k == 60000 ? 1 : 0; };
  const std::string select =
      "select(emp, OR(AND(EQ(age, 1), EQ(missOne, x)), AND(EQ(age, 2), EQ(missTwo, x))))";
  const struct {
    std::string input;
    std::string message;
  } cases[] = {
      {bigInput("emp", 70000, noAge, {{20000, "Nev, kor, Sales"}, {65000, "Nev, 1"}}),
       "Nem alakithato szamma: kor"},
      {bigInput("emp", 70000, noAge, {{5000, "Nev, 1, Sales, tobb"}, {69999, "x, y"}}),
       "Tobb adat mint a tabla oszlopainak szama!"},
      // Several stretches of lines per thread: the earlier of two failing stretches is reported,
      // whichever thread reads it.
      {bigInput("emp", 250000, noAge, {{150000, "Nev, kor, Sales"}, {240000, "x"}}),
       "Nem alakithato szamma: kor"},
      {bigInput("emp", 250000, noAge, {{249999, "Nev, 1"}}),
       "Kevesebb adat a rekordban, mint ahany oszlop van."},
      {bigInput(select, 70000, twoFaults), "Ket konstans osszehasonlitasa: missTwo x"},
      {bigInput("union(select(emp, EQ(missA, 1)), select(emp2, EQ(missB, 1)))", 70000, noAge),
       "Ket konstans osszehasonlitasa: missA 1"},
      {bigInput("union(emp, minus(emp2, nincs))", 70000, noAge), "Nincs nincs nevu tabla."},
      {bigInput("product(emp, emp)", 70000, noAge),
       "A szorzat tul sok rekordot adna: 70000 * 70000"},
      {bigInput("minus(union(emp, nincs), select(emp, EQ(missB, 1)))", 70000, noAge),
       "Nincs nincs nevu tabla."},
  };
  for (const auto& c : cases) {
    for (const char* threads : {"1", "2", "3", "8"}) {
      const WholeRun run = runWithThreads(threads, c.input);
      EXPECT_EQ(run.status, 1) << c.message << " with " << threads << " threads";
      EXPECT_EQ(run.message, c.message) << "with " << threads << " threads";
    }
  }
}

}  // namespace
