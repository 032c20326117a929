#include "files/InputSource.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/AdbException.h"
#include "base/Messages.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/stat.h>
#include <unistd.h>
#define RELALG_HAVE_PREAD 1
#endif

namespace relalg {

void InputSource::failChanged() const {
  throw AdbException(message(MessageId::kInputChanged, {path()}));
}

TextInput::TextInput(std::string held, std::string_view viewed) : held_(std::move(held)) {
  text_ = held_.empty() ? viewed : std::string_view(held_);
}

TextInput::TextInput(TextInput&& other) noexcept : TextInput(std::move(other.held_), other.text_) {}

std::unique_ptr<TextInput> TextInput::holding(std::string text) {
  return std::unique_ptr<TextInput>(new TextInput(std::move(text), {}));
}

std::string_view TextInput::read(size_t offset, size_t length, std::string&) const {
  return text_.substr(std::min(offset, text_.size()), length);
}

#ifdef RELALG_HAVE_PREAD

FileInput::~FileInput() { ::close(descriptor_); }

std::string_view FileInput::read(size_t offset, size_t length, std::string& buffer) const {
  length = offset < size_ ? std::min(length, size_ - offset) : 0;
  if (buffer.size() < length) buffer.resize(length);
  size_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(descriptor_, buffer.data() + done, length - done,
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw AdbException(message(MessageId::kReadFailed, {path_}));
    if (got == 0) {  // the file shrank since it was opened
      shrank_ = true;
      break;
    }
    done += static_cast<size_t>(got);
  }
  return {buffer.data(), done};
}

void FileInput::checkUnchanged() const {
  struct stat now {};
  if (shrank_ || (::fstat(descriptor_, &now) == 0 && static_cast<size_t>(now.st_size) < size_)) {
    failChanged();
  }
}

#else

FileInput::~FileInput() = default;

void FileInput::checkUnchanged() const {}

std::string_view FileInput::read(size_t, size_t, std::string&) const { return {}; }

#endif

}  // namespace relalg
