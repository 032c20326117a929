// Reads a command line as GNU tools do, for the programs' own options: "--" ends the options;
// "-" and words that do not start with "-" are operands; "--name=value" carries its value, and
// "--name value" takes the next word as the value of an option that needs one. Also here: the
// programs' --help and --version. A program that includes this header defines RELALG_VERSION.
#ifndef RELALG_PROGRAMS_COMMANDLINE_H
#define RELALG_PROGRAMS_COMMANDLINE_H

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string_view>

namespace relalg {

class CommandLine {
 public:
  CommandLine(int argc, char* argv[]) : argc_(argc), argv_(argv) {}

  struct Word {
    enum Kind { kOperand, kShortOption, kLongOption };
    Kind kind;
    std::string_view text;  // the whole word
    std::string_view name;  // of a long option: between "--" and "=" or the end
    bool hasValue;          // of a long option: "=value" follows its name
  };

  // The next word, or nothing after the last; "--" itself is never given.
  std::optional<Word> next() {
    for (; at_ < argc_; ++at_) {
      const std::string_view text = argv_[at_];
      if (optionsEnded_ || text == "-" || !text.starts_with("-")) {
        ++at_;
        return Word{Word::kOperand, text, {}, false};
      }
      if (text == "--") {
        optionsEnded_ = true;
        continue;
      }
      ++at_;
      if (!text.starts_with("--")) return Word{Word::kShortOption, text, {}, false};
      const size_t equals = text.find('=');
      return Word{Word::kLongOption, text, text.substr(2, equals - 2),
                  equals != std::string_view::npos};
    }
    return std::nullopt;
  }

  // The value of a long option: after its "=", or else the next word, which is taken; nothing
  // when the option is the last word.
  std::optional<std::string_view> valueOf(const Word& option) {
    if (option.hasValue) return option.text.substr(option.text.find('=') + 1);
    if (at_ < argc_) return std::string_view(argv_[at_++]);
    return std::nullopt;
  }

 private:
  int argc_;
  char** argv_;
  int at_ = 1;
  bool optionsEnded_ = false;
};

// Answers the long option help or version as GNU tools do, on standard output: the program's
// help text, or "PROGRAM (relalgrun) VERSION". Returns the exit status for either, nothing for
// any other option.
inline std::optional<int> helpOrVersion(std::string_view option, std::string_view program,
                                        std::string_view help) {
  if (option == "help") {
    std::cout << help;
    return EXIT_SUCCESS;
  }
  if (option == "version") {
    std::cout << program << " (relalgrun) " RELALG_VERSION "\n";
    return EXIT_SUCCESS;
  }
  return std::nullopt;
}

}  // namespace relalg

#endif  // RELALG_PROGRAMS_COMMANDLINE_H
