#include "files/OutputTarget.h"

#include <cassert>

#include "files/FileTools.h"

namespace relalg {

std::ostream& FileTarget::open() {
  assert(stream_ == nullptr);
  stream_ = safe_oopen(path_);
  return *stream_;
}

void FileTarget::flush() { checkWritten(*stream_, path_); }

void FileTarget::close() { safe_oclose(std::move(stream_), path_); }

void FileTarget::discard() {
  if (stream_ == nullptr) return;
  stream_->close();
  stream_->open(path_, std::ios::out | std::ios::trunc | std::ios::binary);
  stream_.reset();
}

std::ostream& MemoryTarget::open() {
  assert(!opened_);
  opened_ = true;
  return stream_;
}

void MemoryTarget::flush() { checkWritten(stream_, "output"); }

}  // namespace relalg
