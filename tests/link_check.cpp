// link_check [--tries=N] FOLDER...: for each exercise folder (exercise.txt, submissions/*.txt),
// chooses the data sets of the exercise's link as relalgcheck --link does without --data and
// without submissions, and requires of them that
//  - every likely slip of the reference (grading/Mutants.h) that some generated data set tells
//    apart, searched with another seed, is told apart by a data set of the link;
//  - every submission named wrong-* is told apart by a data set of the link, so that the page's
//    self-check calls none of them right.
// Prints the link's data sets and bytes per exercise, each fault, and exits 1 on any.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "grading/ExerciseFile.h"
#include "grading/ExerciseLink.h"
#include "grading/Mutants.h"
#include "grading/SlipDataSets.h"

using namespace relalg;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int checkFolder(const fs::path& folder, const GradeSettings& settings) {
  std::string bytes = readFile(folder / "exercise.txt");
  const ExerciseDeclarations declared = takeDeclarations(bytes);
  std::vector<DataSet> given = {DataSet::read("exercise.txt", bytes)};
  Constraints constraints;
  if (const auto broken = readConstraints(declared, "exercise.txt", given, constraints)) {
    std::cout << folder << ": " << *broken << '\n';
    return 1;
  }
  const Exercise exercise(firstLine(bytes), std::move(given), CompareMode::kSet, constraints);
  const SlipDataSets chosen = slipDataSets(exercise, settings);
  const std::string link = exerciseLink(exercise, chosen.dataSets, "", "", "index.html");
  std::cout << folder.filename().string() << ": the link holds " << chosen.dataSets.size() + 1
            << " data sets (" << link.size() << " bytes), telling " << chosen.told << " of "
            << chosen.slips << " slips apart\n";
  int faults = 0;
  GradeSettings other = settings;
  other.seed = settings.seed + 7919;
  for (const Mutant& mutant : mutantsOf(exercise.reference())) {
    const SyntaxTree slip(mutant.line);
    const Judge judge(exercise.reference(), slip, exercise.mode());
    if (toldApart(judge, exercise.given(), chosen.dataSets)) continue;
    DataGenerator generator(exercise.given(), exercise.constraints(),
                            {&exercise.reference(), &slip}, true, other.seed);
    size_t tried = 0;
    if (searchDifference(judge, generator, {other.maxTries, after(Clock::now(), 10.0)}, tried)) {
      std::cout << "FAULT: " << folder << ": the link misses the slip " << mutant.slip << '\n';
      ++faults;
    }
  }
  for (const auto& entry : fs::directory_iterator(folder / "submissions")) {
    if (!entry.path().filename().string().starts_with("wrong-")) continue;
    const SyntaxTree submission(firstLine(readFile(entry.path())));
    if (!toldApart(Judge(exercise.reference(), submission, exercise.mode()), exercise.given(),
                   chosen.dataSets)) {
      std::cout << "FAULT: the link of " << folder << " calls " << entry.path().filename()
                << " right\n";
      ++faults;
    }
  }
  return faults;
}

}  // namespace

int main(int argc, char* argv[]) {
  GradeSettings settings;
  int faults = 0;
  for (int k = 1; k < argc; ++k) {
    const std::string argument = argv[k];
    if (argument.starts_with("--tries=")) {
      settings.maxTries = std::stoul(argument.substr(8));
    } else {
      faults += checkFolder(argument, settings);
    }
  }
  std::cout << faults << " faults\n";
  return faults == 0 ? 0 : 1;
}
