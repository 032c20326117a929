#include "files/FileReplacement.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

namespace relalg {

namespace {

// A name for the new file that no one is likely to have taken: hidden, after the target, with
// random letters.
std::string temporaryName(const std::string& name, std::mt19937_64& random) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string out = "." + name + ".";
  for (int k = 0; k < 8; ++k) out += kLetters[random() % (sizeof kLetters - 1)];
  return out;
}

std::string joined(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// The real path of an existing path, every symbolic link followed; nothing when it has none.
std::optional<std::string> realPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return std::nullopt;
  std::string out(real);
  std::free(real);
  return out;
}

}  // namespace

std::unique_ptr<FileReplacement> FileReplacement::create(const std::string& folder,
                                                         const std::string& name,
                                                         const struct stat* like) {
  std::mt19937_64 random(std::random_device{}());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temporary = joined(folder, temporaryName(name, random));
    UniqueFd descriptor(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!descriptor) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    std::unique_ptr<FileReplacement> made(
        new FileReplacement(temporary, joined(folder, name), std::move(descriptor)));
    if (like != nullptr) {
      struct stat now {};
      const bool sameGroup = ::fstat(made->descriptor(), &now) == 0 && now.st_gid == like->st_gid;
      if ((!sameGroup && ::fchown(made->descriptor(), static_cast<uid_t>(-1), like->st_gid) != 0) ||
          ::fchmod(made->descriptor(), like->st_mode & 07777) != 0) {
        const int error = errno;
        made.reset();  // removes the new file
        errno = error;
        return nullptr;
      }
    }
    return made;
  }
  errno = EEXIST;
  return nullptr;
}

FileReplacement::~FileReplacement() {
  if (!committed_) ::unlink(temporary_.c_str());
}

bool FileReplacement::commit() {
  if (!descriptor_.reset() || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    committed_ = true;  // nothing is left to remove
    errno = error;
    return false;
  }
  committed_ = true;
  return true;
}

std::optional<ReplaceablePath> replaceablePath(const std::string& path) {
  if (path.empty() || path.ends_with('/')) return std::nullopt;
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    const std::optional<std::string> real = realPath(path);
    if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid() ||
        ::access(path.c_str(), W_OK) != 0 || !real) {
      return std::nullopt;
    }
    const size_t slash = real->find_last_of('/');
    return ReplaceablePath{real->substr(0, std::max<size_t>(slash, 1)), real->substr(slash + 1),
                           status};
  }
  struct stat link {};
  if (errno != ENOENT || ::lstat(path.c_str(), &link) == 0) return std::nullopt;  // a dangling link
  const size_t slash = path.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1));
  const std::optional<std::string> realFolder = realPath(folder);
  if (!realFolder) return std::nullopt;
  return ReplaceablePath{*realFolder, path.substr(slash + 1), std::nullopt};
}

}  // namespace relalg
