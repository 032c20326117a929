#include "files/FileTools.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/AdbException.h"
#include "base/Messages.h"

namespace relalg {

namespace {

[[noreturn]] void throwOpenError(const std::string& name) {
  throw AdbException(message(MessageId::kOpenFailed, {name}));
}

[[noreturn]] void throwReadError(const std::string& name) {
  throw AdbException(message(MessageId::kReadFailed, {name}));
}

bool isDirectory(const std::string& name) {
  std::error_code error;
  return std::filesystem::is_directory(name, error);
}

}  // namespace

std::unique_ptr<std::ifstream> safe_iopen(std::string name) {
  auto stream = std::make_unique<std::ifstream>();
  if (!isDirectory(name)) stream->open(name, std::ios::in | std::ios::binary);
  if (!stream->is_open() || stream->fail()) throwOpenError(name);
  return stream;
}

std::unique_ptr<std::ofstream> safe_oopen(std::string name) {
  auto stream = std::make_unique<std::ofstream>();
  stream->open(name, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!stream->is_open() || stream->fail()) throwOpenError(name);
  return stream;
}

void safe_iclose(std::unique_ptr<std::ifstream> stream) { stream->close(); }

void safe_oclose(std::unique_ptr<std::ofstream> stream, const std::string& name) {
  checkWritten(*stream, name);
  stream->close();
  checkWritten(*stream, name);
}

void checkWritten(std::ostream& stream, const std::string& name) {
  if (!stream.flush()) throw AdbException(message(MessageId::kWriteFailed, {name}));
}

std::string readFile(const std::string& name) {
  std::unique_ptr<std::ifstream> stream = safe_iopen(name);
  std::string content;
  std::error_code error;
  const auto expected = std::filesystem::file_size(name, error);
  if (!error && expected > 0) {
    // One read straight into place for a file of known size; the loop below takes the rest of
    // anything that grew meanwhile or had no size to tell.
    content.resize(static_cast<size_t>(expected));
    stream->read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<size_t>(stream->gcount()));
  }
  char block[1 << 16];
  while (stream->read(block, sizeof block) || stream->gcount() > 0) {
    content.append(block, static_cast<size_t>(stream->gcount()));
  }
  if (stream->bad()) throwReadError(name);
  safe_iclose(std::move(stream));
  return content;
}

namespace {

// Writes text with the carriage return of every carriage return and line feed pair left out.
void writeWithoutLineEndReturns(std::string_view text, std::ostream& destination) {
  for (size_t pair; (pair = text.find("\r\n")) != std::string_view::npos;) {
    destination.write(text.data(), static_cast<std::streamsize>(pair));
    text.remove_prefix(pair + 1);
  }
  destination.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

// The copy is the source with each line end made a single line feed: a carriage return before a
// line feed, or at the very end, is left out, and a last line without a line feed gets one. A
// window that ends in a carriage return leaves it to the next window, beside what follows it.
void copy_content(const InputSource& source, std::ostream& destination, ReadHashes::Check* check) {
  constexpr size_t kWindowBytes = size_t{1} << 19;
  std::string buffer;
  bool lastLineEnded = true;
  for (size_t position = 0;;) {
    std::string_view window = source.read(position, kWindowBytes, buffer);
    const bool atEnd = window.size() < kWindowBytes;
    if (!window.empty()) {
      const bool endsInReturn = window.back() == '\r';
      // A return that ends the window is read again with the next one, unless nothing follows.
      if (check != nullptr)
        check->add(atEnd ? window : window.substr(0, window.size() - endsInReturn));
      if (endsInReturn) window.remove_suffix(1);
      lastLineEnded = !endsInReturn && window.back() == '\n';
      writeWithoutLineEndReturns(window, destination);
      position += window.size();
    }
    if (atEnd) break;
  }
  if (!lastLineEnded) destination.put('\n');
  destination.put('\n');
}

#if defined(__unix__) || defined(__APPLE__)

std::unique_ptr<InputSource> openInput(const std::string& path, const std::string& outputPath) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat input {};
  if (descriptor >= 0 && ::fstat(descriptor, &input) == 0 && S_ISREG(input.st_mode) &&
      input.st_size > 0) {
    struct stat output {};
    const bool isOutput = ::stat(outputPath.c_str(), &output) == 0 &&
                          output.st_dev == input.st_dev && output.st_ino == input.st_ino;
    if (!isOutput) {
      return std::make_unique<FileInput>(descriptor, static_cast<size_t>(input.st_size), path);
    }
  }
  if (descriptor >= 0) ::close(descriptor);
  return TextInput::holding(readFile(path));
}

#else

std::unique_ptr<InputSource> openInput(const std::string& path, const std::string&) {
  return TextInput::holding(readFile(path));
}

#endif

void copy_content(std::string_view text, std::ostream& destination) {
  copy_content(TextInput::viewing(text), destination);
}

}  // namespace relalg
