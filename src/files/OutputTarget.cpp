#include "files/OutputTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <optional>
#include <streambuf>
#include <vector>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "files/FileTools.h"

namespace relalg {

// Writes to a descriptor that it does not own, a block at a time: in order, or from an offset on
// (pwrite). A write that fails fails every later one too, and is remembered.
class FileTarget::Buffer : public std::streambuf {
 public:
  explicit Buffer(int descriptor, std::optional<size_t> offset = std::nullopt)
      : descriptor_(descriptor), offset_(offset), block_(kBlockBytes) {
    setp(block_.data(), block_.data() + block_.size());
  }

  bool failed() const { return failed_; }
  // The bytes handed to the file so far.
  size_t written() const { return written_; }
  // Forgets what is waiting to be written.
  void dropPending() { setp(block_.data(), block_.data() + block_.size()); }

 protected:
  int_type overflow(int_type c) override {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  std::streamsize xsputn(const char* bytes, std::streamsize count) override {
    if (count < static_cast<std::streamsize>(kBlockBytes))
      return std::streambuf::xsputn(bytes, count);
    return drain() && writeAll(bytes, static_cast<size_t>(count)) ? count : 0;
  }

  int sync() override { return drain() ? 0 : -1; }

 private:
  static constexpr size_t kBlockBytes = size_t{1} << 16;

  bool drain() {
    const size_t waiting = static_cast<size_t>(pptr() - pbase());
    dropPending();
    return writeAll(block_.data(), waiting);
  }

  bool writeAll(const char* bytes, size_t count) {
    while (count > 0 && !failed_) {
      const ssize_t written =
          offset_ ? ::pwrite(descriptor_, bytes, count, static_cast<off_t>(*offset_ + written_))
                  : ::write(descriptor_, bytes, count);
      if (written < 0 && errno == EINTR) continue;
      failed_ = written <= 0;
      if (written > 0) {
        bytes += written;
        count -= static_cast<size_t>(written);
        written_ += static_cast<size_t>(written);
      }
    }
    return !failed_;
  }

  int descriptor_;
  std::optional<size_t> offset_;  // where a positioned buffer's first byte goes
  size_t written_ = 0;
  std::vector<char> block_;
  bool failed_ = false;
};

FileTarget::FileTarget(std::string path) : path_(std::move(path)) {}

FileTarget::~FileTarget() { endAfterFailure(); }

std::ostream& FileTarget::open() {
  assert(stream_ == nullptr);
  int descriptor = -1;
  if (const std::optional<ReplaceablePath> beside = replaceablePath(path_)) {
    replacement_ = FileReplacement::create(beside->folder, beside->name,
                                           beside->existing ? &*beside->existing : nullptr);
    if (replacement_ != nullptr) descriptor = replacement_->descriptor();
  }
  if (descriptor < 0) {
    inPlace_.reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!inPlace_) throw AdbException(message(MessageId::kOpenFailed, {path_}));
    descriptor = inPlace_.get();
  }
  buffer_ = std::make_unique<Buffer>(descriptor);
  stream_ = std::make_unique<std::ostream>(buffer_.get());
  return *stream_;
}

int FileTarget::descriptor() const {
  return replacement_ != nullptr ? replacement_->descriptor() : inPlace_.get();
}

// Only a regular file takes bytes at an offset: a device, a pipe or a terminal takes them in
// order.
std::ostream* FileTarget::openAt(size_t offset) {
  assert(stream_ != nullptr && secondStream_ == nullptr);
  struct stat file {};
  if (::fstat(descriptor(), &file) != 0 || !S_ISREG(file.st_mode)) return nullptr;
  secondBuffer_ = std::make_unique<Buffer>(descriptor(), offset);
  secondStream_ = std::make_unique<std::ostream>(secondBuffer_.get());
  return secondStream_.get();
}

void FileTarget::flush() { checkWritten(*stream_, path_); }

void FileTarget::close() {
  checkWritten(*stream_, path_);
  if (secondStream_ != nullptr) checkWritten(*secondStream_, path_);
  if (!finish()) throw AdbException(message(MessageId::kWriteFailed, {path_}));
}

void FileTarget::discard() {
  if (stream_ == nullptr) return;
  buffer_->dropPending();
  if (secondBuffer_ != nullptr) secondBuffer_->dropPending();
  if (::ftruncate(descriptor(), 0) == 0) {
    finish();
  } else {
    drop();
  }
}

void FileTarget::endAfterFailure() {
  if (stream_ == nullptr) return;
  const bool secondFailed =
      secondStream_ != nullptr && (secondBuffer_->failed() || !secondStream_->flush());
  if (buffer_->failed() || !stream_->flush() || secondFailed) {
    drop();
  } else {
    finish();
  }
}

void FileTarget::dropSecond() {
  if (stream_ == nullptr || secondStream_ == nullptr) return;
  secondBuffer_->dropPending();
  secondStream_.reset();
  secondBuffer_.reset();
  stream_->flush();
  [[maybe_unused]] const int ignored =
      ::ftruncate(descriptor(), static_cast<off_t>(buffer_->written()));
}

bool FileTarget::finish() {
  const bool done = replacement_ != nullptr ? replacement_->commit() : inPlace_.reset();
  drop();
  return done;
}

// Lets the file go: a new file not yet renamed over its place is removed, so that the place keeps
// what it held before the run.
void FileTarget::drop() {
  secondStream_.reset();
  secondBuffer_.reset();
  stream_.reset();
  buffer_.reset();
  replacement_.reset();
  inPlace_.reset();
}

std::ostream& MemoryTarget::open() {
  assert(!opened_);
  opened_ = true;
  return stream_;
}

void MemoryTarget::flush() { checkWritten(stream_, "output"); }

}  // namespace relalg
