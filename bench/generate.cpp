// Writes a large, deterministic input file for relalgrun:
//   generate <expression> <records> [second-table-records] > input.txt
// The table is emp(name char(20), age int, dept char(10)) with names such as Kovacs12345,
// ages 18 to 69 and eight departments. With a second count, a table emp2 of the same columns
// follows, whose first half repeats records of emp and whose second half is new.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

const char* kSurnames[] = {"Kovacs", "Nagy", "Toth", "Szabo", "Horvath", "Varga", "Kiss", "Molnar"};
const char* kDepartments[] = {"Sales", "Research",  "Support", "Finance",
                              "Legal", "Marketing", "Admin",   "Logistics"};

void writeRecords(std::FILE* out, long from, long count, uint32_t seed) {
  std::mt19937 random(seed);
  std::string line;
  for (long k = from; k < from + count; ++k) {
    line = kSurnames[random() % 8];
    line += std::to_string(k);
    line += ',';
    line += std::to_string(18 + random() % 52);
    line += ',';
    line += kDepartments[random() % 8];
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: generate <expression> <records> [second-table-records]\n");
    return 2;
  }
  const long records = std::atol(argv[2]);
  std::printf("%s\n\nemp(name char(20), age int, dept char(10))\n", argv[1]);
  writeRecords(stdout, 0, records, 42);
  if (argc > 3) {
    const long second = std::atol(argv[3]);
    std::printf("\nemp2(name char(20), age int, dept char(10))\n");
    writeRecords(stdout, 0, second / 2, 42);
    writeRecords(stdout, records, second - second / 2, 7);
  }
  return 0;
}
