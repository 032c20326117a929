// InputSource holds the bytes of a run's input for readers that go over them more than once and
// a stretch at a time: the catalogue plans its blocks in one pass, reads their records in
// another (on several threads), and the copy of the input is written in a third. TextInput
// serves bytes held in memory as views into them; FileInput reads a regular file where it lies,
// so that the input never has to be held whole in memory. A file read where it lies may be
// changed by another program meanwhile: its readers then compare what the passes read, and a
// difference ends the run (failChanged).
#ifndef RELALG_FILES_INPUTSOURCE_H
#define RELALG_FILES_INPUTSOURCE_H

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace relalg {

class InputSource {
 public:
  virtual ~InputSource() = default;

  // The byte count, as it was when the source was opened.
  virtual size_t size() const = 0;
  // Whether the bytes may change while the run reads them (a file read where it lies).
  virtual bool mayChange() const { return false; }
  // Throws the failure of an input changed under the run when the source itself shows a change:
  // it is shorter than when it was opened, or a read found fewer bytes than it had.
  virtual void checkUnchanged() const {}
  // Throws AdbException: the input changed while the run read it.
  [[noreturn]] void failChanged() const;
  // The bytes from offset on, length of them or fewer where the input ends: a view into buffer
  // or into the source's own bytes, valid while both stay as they are. Threads may read at the
  // same time, each into a buffer of its own. Throws AdbException when the input cannot be read.
  virtual std::string_view read(size_t offset, size_t length, std::string& buffer) const = 0;

 private:
  // The path of the input as given, for the failure message.
  virtual std::string_view path() const { return {}; }
};

// Bytes in memory: either held by the source or viewed (the caller keeps them alive).
class TextInput : public InputSource {
 public:
  static TextInput viewing(std::string_view text) { return TextInput(std::string(), text); }
  static std::unique_ptr<TextInput> holding(std::string text);
  TextInput(TextInput&& other) noexcept;
  TextInput& operator=(TextInput&&) = delete;

  size_t size() const override { return text_.size(); }
  std::string_view read(size_t offset, size_t length, std::string& buffer) const override;

 private:
  TextInput(std::string held, std::string_view viewed);

  std::string held_;
  std::string_view text_;  // held_, or the bytes viewed
};

// A regular file, read with pread where each stretch is asked for (where the platform has it).
class FileInput : public InputSource {
 public:
  // Takes over an open file descriptor of a file of the given size; path names it in failures.
  FileInput(int descriptor, size_t size, std::string path)
      : descriptor_(descriptor), size_(size), path_(std::move(path)) {}
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  ~FileInput() override;

  size_t size() const override { return size_; }
  std::string_view read(size_t offset, size_t length, std::string& buffer) const override;
  bool mayChange() const override { return true; }
  void checkUnchanged() const override;

 private:
  std::string_view path() const override { return path_; }

  int descriptor_;
  size_t size_;
  std::string path_;                         // as given, for the failure message
  mutable std::atomic<bool> shrank_{false};  // a read ended before the size it was opened with
};

}  // namespace relalg

#endif  // RELALG_FILES_INPUTSOURCE_H
