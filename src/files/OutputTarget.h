// OutputTarget is where a run writes its output file. The run opens it only once every table has
// been read, writes the copy of the input, flushes it, and after the evaluation writes the result
// text and closes it. A target that is never opened is left as it was: for a file, not created
// or not emptied. A regular file also takes the result at its known offset while the copy is
// still being written before it (openAt).
#ifndef RELALG_FILES_OUTPUTTARGET_H
#define RELALG_FILES_OUTPUTTARGET_H

#include <fstream>
#include <iosfwd>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace relalg {

class OutputTarget {
 public:
  virtual ~OutputTarget() = default;

  // Opens the destination, empty; throws AdbException when it cannot be opened.
  virtual std::ostream& open() = 0;
  // Once opened: a second stream that writes the bytes from offset on, beside the first (another
  // thread may write each), which is to write exactly the bytes before offset; null where the
  // destination cannot take bytes out of order. close covers both streams.
  virtual std::ostream* openAt(size_t /*offset*/) { return nullptr; }
  // Pushes out what the first stream wrote so far; throws AdbException when a write failed.
  virtual void flush() = 0;
  // Ends the output; throws AdbException when anything written to it failed.
  virtual void close() = 0;
  // Ends an opened output empty, when what was written must not stand. Never throws.
  virtual void discard() = 0;
  // Drops what the second stream wrote, leaving what the first did: for a first stream that
  // failed before it reached the second's offset. Never throws.
  virtual void dropSecond() {}
};

// The output file of relalgrun: created, or emptied, by open. Failures name the path as given.
class FileTarget : public OutputTarget {
 public:
  explicit FileTarget(std::string path);
  ~FileTarget() override;

  std::ostream& open() override;
  std::ostream* openAt(size_t offset) override;
  void flush() override;
  void close() override;
  void discard() override;
  void dropSecond() override;

  // Writes to a file descriptor a block at a time: in order, or from an offset on (pwrite).
  class Writer : public std::streambuf {
   public:
    Writer(int descriptor, bool positioned, size_t offset);
    // The bytes handed to the file so far; whether any write failed.
    size_t written() const { return written_; }
    bool failed() const { return failed_; }

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int sync() override;

   private:
    bool writeOut(const char* bytes, size_t count);

    int descriptor_;
    bool positioned_;
    size_t offset_;  // where a positioned writer writes next
    size_t written_ = 0;
    bool failed_ = false;
    std::vector<char> buffer_;
  };

 private:
  std::string path_;
  int descriptor_ = -1;
  std::unique_ptr<Writer> first_;
  std::unique_ptr<Writer> second_;
  std::unique_ptr<std::ostream> stream_;
  std::unique_ptr<std::ostream> secondStream_;
};

// An output file held in memory, for the fuzzer, the tests and the browser.
class MemoryTarget : public OutputTarget {
 public:
  std::ostream& open() override;
  void flush() override;
  void close() override {}
  void discard() override { stream_.str({}); }

  // Whether the run opened the output, as relalgrun would have created the file.
  bool opened() const { return opened_; }
  // The bytes written so far.
  std::string bytes() const { return stream_.str(); }

 private:
  bool opened_ = false;
  std::ostringstream stream_;
};

}  // namespace relalg

#endif  // RELALG_FILES_OUTPUTTARGET_H
