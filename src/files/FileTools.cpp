#include "files/FileTools.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "files/LineReader.h"

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
  check_written(*stream, name);
  stream->close();
  check_written(*stream, name);
}

void check_written(std::ostream& stream, const std::string& name) {
  if (!stream.flush()) throw AdbException(message(MessageId::kWriteFailed, {name}));
}

std::string read_file(const std::string& name) {
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

void copy_content(std::string_view text, std::ostream& destination) {
  if (text.find('\r') == std::string_view::npos) {
    // Without carriage returns the copy is the text itself, its last line ended.
    destination.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!text.empty() && text.back() != '\n') destination.put('\n');
  } else {
    LineReader lines(text);
    std::string_view line;
    while (lines.next(line)) {
      destination.write(line.data(), static_cast<std::streamsize>(line.size()));
      destination.put('\n');
    }
  }
  destination.put('\n');
}
