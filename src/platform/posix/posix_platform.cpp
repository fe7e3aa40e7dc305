// POSIX services: the sweep and commands run here natively for tests,
// benchmarks and fuzzing.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/system_platform.h"
#include "tables/system_error.h"

extern char** environ;

namespace platform {
namespace {

using tables::NativeString;
using tables::SystemError;

[[noreturn]] void ThrowErrno(int error) {
  throw SystemError(static_cast<std::uint32_t>(error), std::strerror(error));
}

struct DirCloser {
  void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// What the started program's side does before it runs: here, change into
// its working folder.
struct SpawnActions {
  SpawnActions() noexcept : error(::posix_spawn_file_actions_init(&list)) {}
  ~SpawnActions() {
    if (error == 0) ::posix_spawn_file_actions_destroy(&list);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;

  posix_spawn_file_actions_t list{};
  int error;
};

class PosixFileWalk final : public tables::FileWalk {
 public:
  explicit PosixFileWalk(UniqueDir dir) : dir_(std::move(dir)) {}

  bool Next() override {
    for (;;) {
      errno = 0;
      entry_ = ::readdir(dir_.get());
      if (entry_ == nullptr) {
        if (errno != 0) ThrowErrno(errno);
        return false;
      }
      if (IsFile()) return true;
    }
  }

  tables::NativeStringView Name() override { return entry_->d_name; }

  void DeleteForce() override {
    const int dirFd = ::dirfd(dir_.get());
    if (entry_->d_type == DT_LNK) {
      // A link to a folder is a folder and stays. Only links pay for a stat.
      struct stat target {};
      if (::fstatat(dirFd, entry_->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode)) {
        ThrowErrno(EISDIR);
      }
    }
    // unlinkat never follows a link: the link goes, its target stays. The
    // file's own mode does not matter for removing it, so "force" needs
    // nothing more here.
    if (::unlinkat(dirFd, entry_->d_name, 0) != 0) ThrowErrno(errno);
  }

 private:
  // Decided from the directory entry alone where it says the type, so the
  // walk costs no system call per entry.
  bool IsFile() const {
    switch (entry_->d_type) {
      case DT_REG:
      case DT_LNK:
        return true;
      case DT_UNKNOWN: {
        struct stat st {};
        if (::fstatat(::dirfd(dir_.get()), entry_->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
          return false;  // gone meanwhile
        }
        return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
      }
      default:
        return false;  // folders, and devices, pipes and sockets
    }
  }

  UniqueDir dir_;
  const dirent* entry_ = nullptr;
};

class PosixFolder final : public tables::Folder {
 public:
  explicit PosixFolder(UniqueDir dir) : dir_(std::move(dir)) {}

  std::unique_ptr<tables::FileWalk> Files() override {
    if (!dir_) ThrowErrno(EBADF);  // the listing is handed out once
    return std::make_unique<PosixFileWalk>(std::move(dir_));
  }

 private:
  UniqueDir dir_;
};

class PosixFileSystem final : public tables::FileSystem {
 public:
  bool FolderExists(const NativeString& path) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      // Nothing there, or a link to itself or through too many links.
      if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) return false;
      ThrowErrno(errno);
    }
    return S_ISDIR(st.st_mode);
  }

  std::unique_ptr<tables::Folder> GetFolder(const NativeString& path) override {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) ThrowErrno(errno);
    UniqueDir dir(::fdopendir(fd));
    if (!dir) {
      const int error = errno;
      ::close(fd);
      ThrowErrno(error);
    }
    return std::make_unique<PosixFolder>(std::move(dir));
  }
};

}  // namespace

std::unique_ptr<tables::FileSystem> CreateFileSystem() {
  return std::make_unique<PosixFileSystem>();
}

NativeString ApplicationFolder() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) ThrowErrno(errno);
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      break;
    }
    buffer.resize(buffer.size() * 2);  // may have been cut short
  }
  const std::size_t slash = buffer.rfind('/');
  buffer.resize(slash == std::string::npos ? 0 : slash);
  return buffer;
}

void StartProgram(const NativeString& program, const std::vector<NativeString>& arguments,
                  const NativeString& workingFolder, tables::ShowState /*show: no windows here*/) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const NativeString& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  SpawnActions actions;
  int error = actions.error;
  if (error == 0) {
    error = ::posix_spawn_file_actions_addchdir_np(&actions.list, workingFolder.c_str());
  }
  pid_t child = 0;
  if (error == 0) {
    error = ::posix_spawn(&child, program.c_str(), &actions.list, nullptr, argv.data(), environ);
  }
  if (error != 0) ThrowErrno(error);
}

}  // namespace platform
