#include "files/OutputTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstring>
#include <ostream>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "files/FileTools.h"

namespace relalg {

namespace {

// Blocks of this size go to the file in one write; larger pieces go straight through.
constexpr size_t kWriterBlock = size_t{1} << 16;

}  // namespace

FileTarget::Writer::Writer(int descriptor, bool positioned, size_t offset)
    : descriptor_(descriptor), positioned_(positioned), offset_(offset), buffer_(kWriterBlock) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool FileTarget::Writer::writeOut(const char* bytes, size_t count) {
  while (count > 0 && !failed_) {
    const ssize_t done = positioned_
                             ? ::pwrite(descriptor_, bytes, count, static_cast<off_t>(offset_))
                             : ::write(descriptor_, bytes, count);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      failed_ = true;
      break;
    }
    bytes += done;
    count -= static_cast<size_t>(done);
    offset_ += static_cast<size_t>(done);
    written_ += static_cast<size_t>(done);
  }
  return !failed_;
}

int FileTarget::Writer::sync() {
  const bool done = writeOut(pbase(), static_cast<size_t>(pptr() - pbase()));
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return done ? 0 : -1;
}

FileTarget::Writer::int_type FileTarget::Writer::overflow(int_type c) {
  if (sync() != 0) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize FileTarget::Writer::xsputn(const char* bytes, std::streamsize count) {
  const size_t size = static_cast<size_t>(count);
  if (size <= static_cast<size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), bytes, size);
    pbump(static_cast<int>(size));
    return count;
  }
  if (sync() != 0 || !writeOut(bytes, size)) return 0;
  return count;
}

FileTarget::FileTarget(std::string path) : path_(std::move(path)) {}

FileTarget::~FileTarget() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

std::ostream& FileTarget::open() {
  assert(descriptor_ < 0);
  descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor_ < 0) throw AdbException(message(MessageId::kOpenFailed, {path_}));
  first_ = std::make_unique<Writer>(descriptor_, false, 0);
  stream_ = std::make_unique<std::ostream>(first_.get());
  return *stream_;
}

// Only a regular file takes bytes at an offset: a device, a pipe or a terminal takes them in
// order.
std::ostream* FileTarget::openAt(size_t offset) {
  assert(descriptor_ >= 0 && second_ == nullptr);
  struct stat file {};
  if (::fstat(descriptor_, &file) != 0 || !S_ISREG(file.st_mode)) return nullptr;
  second_ = std::make_unique<Writer>(descriptor_, true, offset);
  secondStream_ = std::make_unique<std::ostream>(second_.get());
  return secondStream_.get();
}

void FileTarget::flush() { checkWritten(*stream_, path_); }

void FileTarget::close() {
  flush();
  if (secondStream_ != nullptr) checkWritten(*secondStream_, path_);
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0) throw AdbException(message(MessageId::kWriteFailed, {path_}));
}

void FileTarget::discard() {
  if (descriptor_ < 0) return;
  ::close(descriptor_);
  descriptor_ = -1;
  const int emptied = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (emptied >= 0) ::close(emptied);
}

void FileTarget::dropSecond() {
  if (second_ == nullptr || descriptor_ < 0) return;
  stream_->flush();
  [[maybe_unused]] const int ignored =
      ::ftruncate(descriptor_, static_cast<off_t>(first_->written()));
  secondStream_.reset();
  second_.reset();
}

std::ostream& MemoryTarget::open() {
  assert(!opened_);
  opened_ = true;
  return stream_;
}

void MemoryTarget::flush() { checkWritten(stream_, "output"); }

}  // namespace relalg
