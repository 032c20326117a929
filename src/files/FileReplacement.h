// FileReplacement writes a file beside the one it replaces, so that a write that fails half way
// (a full disk, a file size limit) never leaves a half-written file in its place: the bytes go to
// a new file in the same folder, created with O_EXCL and O_NOFOLLOW (never an existing file,
// never through a link), which commit() renames over the target in one step. Until then, and
// whenever anything fails, the target stays exactly as it was; a replacement that is not
// committed is removed when it goes.
#ifndef RELALG_FILES_FILEREPLACEMENT_H
#define RELALG_FILES_FILEREPLACEMENT_H

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>

#include "base/UniqueFd.h"

namespace relalg {

class FileReplacement {
 public:
  // A new file beside folder/name, to take its place; like, when given, is the file it replaces,
  // whose permissions and group the new file takes. Null, with errno set, when no such file can
  // be made there.
  static std::unique_ptr<FileReplacement> create(const std::string& folder, const std::string& name,
                                                 const struct stat* like = nullptr);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  int descriptor() const { return descriptor_.get(); }
  // Closes the new file and renames it over the target. False, with errno set, when either
  // fails; the new file is then removed and the target left as it was.
  bool commit();

 private:
  FileReplacement(std::string temporary, std::string target, UniqueFd descriptor)
      : temporary_(std::move(temporary)),
        target_(std::move(target)),
        descriptor_(std::move(descriptor)) {}

  std::string temporary_;
  std::string target_;
  UniqueFd descriptor_;
  bool committed_ = false;
};

// Where a file written to path may be written beside it: when path names, after symbolic links,
// a regular file that this process owns and may write, or nothing yet in an existing folder, that
// file's folder and name, and the file's status when it exists. Nothing for anything else (a
// device, a pipe, a folder, a link to nowhere, a file of another owner or that this process may
// not write), which is written in place.
struct ReplaceablePath {
  std::string folder;
  std::string name;
  std::optional<struct stat> existing;
};
std::optional<ReplaceablePath> replaceablePath(const std::string& path);

}  // namespace relalg

#endif  // RELALG_FILES_FILEREPLACEMENT_H
