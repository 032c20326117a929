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
#include <string>

#include "base/UniqueFd.h"
#include "files/FileReplacement.h"

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
  // Ends an opened output after the run failed: what was written stands, as far as the run got,
  // unless writing it failed. Never throws.
  virtual void endAfterFailure() {}
  // Drops what the second stream wrote, leaving what the first did: for a first stream that
  // failed before it reached the second's offset. Never throws.
  virtual void dropSecond() {}
};

// The output file of relalgrun. A regular file (symbolic links followed) that this process owns
// and may write, or a new file, is written beside its place, to a new file of its folder that
// close() renames over it: so a write that fails (a full disk, a file size limit) leaves the file
// exactly as it was before the run, even where it is the input file too. Anything else (a
// device, a pipe, a file in a folder where no file can be made) is created, or emptied, and
// written in place. Failures name the path as given.
class FileTarget : public OutputTarget {
 public:
  explicit FileTarget(std::string path);
  ~FileTarget() override;

  std::ostream& open() override;
  void flush() override;
  void close() override;
  void discard() override;
  void endAfterFailure() override;
  std::ostream* openAt(size_t offset) override;
  void dropSecond() override;

 private:
  class Buffer;
  int descriptor() const;
  // Closes the file, or renames the new file over its place; false when that fails.
  bool finish();
  void drop();

  std::string path_;
  std::unique_ptr<FileReplacement> replacement_;  // for a file written beside its place
  UniqueFd inPlace_;                              // for a file written in place
  std::unique_ptr<Buffer> buffer_;
  std::unique_ptr<std::ostream> stream_;
  std::unique_ptr<Buffer> secondBuffer_;  // from openAt's offset on
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
