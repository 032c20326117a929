#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "TestSupport.h"
#include "base/Messages.h"
#include "evaluation/EvalObserver.h"
#include "files/FileTools.h"
#include "files/OutputTarget.h"
#include "run/RunSequence.h"

using namespace relalg;

namespace {

const std::string kInput = "t\n\nt(a int, b char(5))\n1, x\n2, y\n3, z\n";

// Changes the input file when the run has planned its tables (before it reads their records)
// or has read them (before it writes the copy): between the passes, whatever the timing.
class Changer : public EvalObserver {
 public:
  enum Moment { kPlanned, kRead };
  Changer(Moment moment, std::function<void()> change)
      : moment_(moment), change_(std::move(change)) {}

  void tablesPlanned(const TablePlan&) override {
    if (moment_ == kPlanned) change_();
  }
  void tablesRead() override {
    if (moment_ == kRead) change_();
  }
  void nodeStarted(const SyntaxTree&, int) override {}
  void nodeFinished(const SyntaxTree&, int, const Table&) override {}
  void nodeFailed(const SyntaxTree&, int) override {}

 private:
  Moment moment_;
  std::function<void()> change_;
};

// A run of a file that another program changes between two passes: status 1 and the message of a
// changed input, and an output file left as it was (the change showed before it was opened) or
// empty (it showed in the copy). Appending is no change: the run reads the file as opened.
TEST(InputChange, EndsTheRunWithoutAnOutputThatClaimsAResult) {
  const ScratchFolder scratch;
  const std::string in = scratch.file("in.txt");
  const std::string out = scratch.file("out.txt");
  struct {
    const char* what;
    Changer::Moment moment;
    std::string newContent;  // in place of the file's bytes, or appended where append is set
    bool append;
    std::string output;  // the output file after the run; "" for an empty one
  } cases[] = {
      {"cut to half", Changer::kPlanned, kInput.substr(0, kInput.size() / 2), false, "earlier"},
      {"overwritten by a bad line", Changer::kPlanned, "x\n", false, "earlier"},
      {"rewritten in place, same length", Changer::kRead, std::string(kInput).replace(28, 1, "7"),
       false, ""},
      {"cut to nothing", Changer::kRead, "", false, ""},
      {"appended to", Changer::kPlanned, "4, w\n", true, "as without the append"},
  };
  const std::string failure = message(MessageId::kInputChanged, {in});
  for (const auto& c : cases) {
    writeFile(in, kInput);
    writeFile(out, "earlier");
    Changer changer(c.moment, [&] {
      std::ofstream file(in, c.append ? std::ios::binary | std::ios::app
                                      : std::ios::binary | std::ios::in | std::ios::out);
      if (!c.append) std::filesystem::resize_file(in, c.newContent.size());
      file << c.newContent;
    });
    FileTarget target(out);
    const RunOutcome outcome = runSequence([&] { return openInput(in, out); }, &target, &changer);
    if (c.append) {
      EXPECT_EQ(outcome.status, RunOutcome::kSuccess) << c.what;
      EXPECT_EQ(readFile(out), kInput + "\nt(a int, b char(5))\n1,x\n2,y\n3,z\n") << c.what;
      continue;
    }
    EXPECT_EQ(outcome.status, RunOutcome::kFailure) << c.what;
    EXPECT_EQ(outcome.message, failure) << c.what;
    EXPECT_EQ(readFile(out), c.output) << c.what;
  }
}

// An input of many windows and stretches, changed in its last record: the stretch that holds it
// no longer reads as planned, or the copy no longer reads as the stretches did. At 9 MB, a second
// thread reads ahead of the planning pass.
TEST(InputChange, IsFoundAnywhereInALongInput) {
  const ScratchFolder scratch;
  const std::string in = scratch.file("in.txt");
  const std::string out = scratch.file("out.txt");
  std::string input = "t\n\nt(a int, b char(5))\n";
  for (int k = 0; k < 1000000; ++k) input += std::to_string(k) + ", x\n";
  for (Changer::Moment moment : {Changer::kPlanned, Changer::kRead}) {
    writeFile(in, input);
    Changer changer(moment, [&] {
      std::fstream file(in, std::ios::binary | std::ios::in | std::ios::out);
      file.seekp(static_cast<std::streamoff>(input.size() - 2));
      file << 'y';
    });
    FileTarget target(out);
    const RunOutcome outcome = runSequence([&] { return openInput(in, out); }, &target, &changer);
    EXPECT_EQ(outcome.message, message(MessageId::kInputChanged, {in})) << moment;
    EXPECT_EQ(std::filesystem::exists(out), moment == Changer::kRead) << moment;
    if (moment == Changer::kRead) {
      EXPECT_EQ(std::filesystem::file_size(out), 0u);
    }
  }
}

}  // namespace
