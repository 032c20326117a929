#include "files/OutputTarget.h"

#include <cassert>

#include "files/FileTools.h"

namespace relalg {

std::ostream& FileTarget::open() {
  assert(stream_ == nullptr);
  stream_ = safe_oopen(path_);
  return *stream_;
}

void FileTarget::flush() { check_written(*stream_, path_); }

void FileTarget::close() { safe_oclose(std::move(stream_), path_); }

std::ostream& MemoryTarget::open() {
  assert(!opened_);
  opened_ = true;
  return stream_;
}

void MemoryTarget::flush() { check_written(stream_, "output"); }

}  // namespace relalg
