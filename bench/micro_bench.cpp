// Micro-benchmarks of the hot paths of the core library, on generated tables held in memory:
// reading record lines, sorting records, evaluating a selection and writing a table's text.
//   build/bench/micro_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <random>
#include <sstream>
#include <string>

#include "evaluation/TableSet.h"

using namespace relalg;

namespace {

const char* kDepartments[] = {"Sales", "Research",  "Support", "Finance",
                              "Legal", "Marketing", "Admin",   "Logistics"};

// The table blocks of an input file: emp(name char(20), age int, dept char(10)).
std::string empBlock(int records) {
  std::mt19937 random(42);
  std::string text = "\nemp(name char(20), age int, dept char(10))\n";
  for (int k = 0; k < records; ++k) {
    text += "Kovacs" + std::to_string(k) + "," + std::to_string(18 + random() % 52) + "," +
            kDepartments[random() % 8] + "\n";
  }
  return text;
}

void BM_ReadRecords(benchmark::State& state) {
  const std::string text = empBlock(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TableSet tables(text);
    benchmark::DoNotOptimize(tables.getTableByName("emp"));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void evaluateOver(benchmark::State& state, const std::string& expression) {
  TableSet tables(empBlock(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    benchmark::DoNotOptimize(tables.r_eval(expression).get());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ProjectNames(benchmark::State& state) { evaluateOver(state, "project(emp, name, age)"); }
void BM_ProjectDepartments(benchmark::State& state) {
  evaluateOver(state, "project(emp, dept, age)");
}
void BM_Select(benchmark::State& state) {
  evaluateOver(state, "select(emp, AND(GTE(age, 30), NEQ(dept, Sales)))");
}

void BM_SelectNothing(benchmark::State& state) { evaluateOver(state, "select(emp, LT(age, 0))"); }

void BM_WriteText(benchmark::State& state) {
  TableSet tables(empBlock(static_cast<int>(state.range(0))));
  const Table* emp = tables.getTableByName("emp");
  for (auto _ : state) {
    std::ostringstream out;
    emp->toString(out);
    benchmark::DoNotOptimize(out.str().size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_ReadRecords)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectNames)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectDepartments)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Select)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectNothing)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteText)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
