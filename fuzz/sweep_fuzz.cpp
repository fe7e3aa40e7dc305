// Fuzzes the sweep on real folders. Each input describes a folder: files
// with arbitrary names (letter cases, dots, lengths, any byte but '/' and
// NUL), read-only files, subfolders, links to files and to folders inside
// and outside it, dangling and looping links, and pipes. The sweep runs on
// it through the POSIX services; afterwards exactly the entries the model
// picks must be gone, and everything else below the test root, inside the
// folder or outside it, must be as it was: same kind, mode, content and
// link target.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/system_platform.h"
#include "tables/bin_sweep.h"

namespace {

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "sweep_fuzz: %s\n", what.c_str());
  std::abort();
}

// ------------------------------------------------------------ the input

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string Bytes(std::size_t count) {
    std::string bytes;
    while (count-- > 0 && !Empty()) bytes += static_cast<char>(Byte());
    return bytes;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

enum class Kind {
  kFile,
  kReadOnlyFile,
  kFolder,
  kLinkToOutsideFile,
  kLinkToOutsideFolder,
  kDanglingLink,
  kLinkToEntry,
  kLoopingLink,
  kPipe,
  kCount
};

// Endings that bring names near the rule's edge.
constexpr const char* kEndings[] = {"",        "bin",      "BIN",       "Bin", "bIn",
                                    ".bin",    ".BIN",     "bin.",      "bi",  "in",
                                    ".binary", ".bin.bak", "b\xc4\xb1n"};

std::string NameFrom(Reader& in) {
  const std::uint8_t lengthByte = in.Byte();
  std::size_t length = lengthByte % 24;
  if (lengthByte >= 0xf0) length = 200 + lengthByte % 56;  // near NAME_MAX
  std::string name = in.Bytes(length);
  for (char& c : name) {
    if (c == '/') c = '\\';
    if (c == '\0') c = '.';
  }
  name += kEndings[in.Byte() % (sizeof kEndings / sizeof kEndings[0])];
  if (name.size() > 255) name.erase(0, name.size() - 255);
  return name;
}

// ------------------------------------------------------------ the tree

struct Node {
  char kind = '?';  // f file, d folder, l link, p pipe
  mode_t mode = 0;
  std::string content;  // of a file; the target of a link
  bool operator==(const Node& other) const {
    return kind == other.kind && mode == other.mode && content == other.content;
  }
};
using Tree = std::map<std::string, Node>;

std::string ReadFile(const std::string& path) {
  std::string content;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) Die("cannot read " + path + ": " + std::strerror(errno));
  char buffer[256];
  ssize_t got = 0;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return content;
}

// Everything below `dir`, links not followed, keyed by path relative to `root`.
void Snapshot(const std::string& root, const std::string& relative, Tree& tree) {
  const std::string dir = relative.empty() ? root : root + "/" + relative;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) Die("cannot list " + dir);
  while (const dirent* entry = ::readdir(d)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string key = relative.empty() ? name : relative + "/" + name;
    const std::string path = root + "/" + key;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) Die("cannot stat " + path);
    Node node;
    node.mode = st.st_mode & 07777;
    if (S_ISREG(st.st_mode)) {
      node.kind = 'f';
      node.content = ReadFile(path);
    } else if (S_ISDIR(st.st_mode)) {
      node.kind = 'd';
      Snapshot(root, key, tree);
    } else if (S_ISLNK(st.st_mode)) {
      node.kind = 'l';
      node.mode = 0;  // a link's own mode means nothing
      char target[4096];
      const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
      if (length < 0) Die("cannot read link " + path);
      node.content.assign(target, static_cast<std::size_t>(length));
    } else {
      node.kind = S_ISFIFO(st.st_mode) ? 'p' : '?';
    }
    tree[key] = node;
  }
  ::closedir(d);
}

// ------------------------------------------------------------ the model

// A file the sweep must remove: directly in the folder, named so that it ends
// in b, i, n in any letter case, and a file or a link that does not lead to
// a folder (dangling and looping links included).
bool ModelRemoves(const std::string& folder, const std::string& name, const Node& node) {
  if (name.size() < 3) return false;
  const std::string tail = name.substr(name.size() - 3);
  const bool binName = (tail[0] == 'b' || tail[0] == 'B') && (tail[1] == 'i' || tail[1] == 'I') &&
                       (tail[2] == 'n' || tail[2] == 'N');
  if (!binName) return false;
  if (node.kind == 'f') return true;
  if (node.kind != 'l') return false;
  struct stat target {};
  const bool leadsToFolder =
      ::stat((folder + "/" + name).c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  return !leadsToFolder;
}

// ------------------------------------------------------------ the layout

void Must(bool ok, const std::string& what) {
  if (!ok) Die(what + ": " + std::strerror(errno));
}

void WriteFile(const std::string& path, const std::string& content, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    if (errno == EEXIST || errno == ENAMETOOLONG) return;  // a name taken twice
    Die("cannot create " + path + ": " + std::strerror(errno));
  }
  Must(::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()),
       "write " + path);
  ::close(fd);
}

void MakeLink(const std::string& target, const std::string& path) {
  if (::symlink(target.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    Die("cannot link " + path + ": " + std::strerror(errno));
  }
}

// One folder per fuzzing process for all runs, removed when it exits. Kept
// in plain storage so that it outlives every destructor run at exit.
char gBaseFolder[4096];

void RemoveBaseFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(gBaseFolder, ignored);
}

std::string BaseFolder() {
  if (gBaseFolder[0] == '\0') {
    const char* tmp = std::getenv("TMPDIR");
    const std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vbc-sweep-fuzz-XXXXXX";
    if (pattern.size() >= sizeof gBaseFolder) Die("TMPDIR is too long");
    std::memcpy(gBaseFolder, pattern.c_str(), pattern.size() + 1);
    if (::mkdtemp(gBaseFolder) == nullptr) Die("mkdtemp");
    std::atexit(RemoveBaseFolder);
  }
  return gBaseFolder;
}

// Lays out <root>/table from the input, with things outside it for links to
// point at and a bin file beside it. Returns the folder path to sweep and
// whether it names the table folder (else nothing may change at all).
std::pair<std::string, bool> LayOut(const std::string& root, Reader& in) {
  const std::string table = root + "/table";
  const std::string outside = root + "/outside";
  Must(::mkdir(table.c_str(), 0755) == 0, "mkdir table");
  Must(::mkdir(outside.c_str(), 0755) == 0, "mkdir outside");
  Must(::mkdir((outside + "/folder.bin").c_str(), 0755) == 0, "mkdir outside/folder.bin");
  WriteFile(outside + "/target.bin", "outside target", 0644);
  WriteFile(outside + "/target.txt", "outside text", 0444);
  WriteFile(outside + "/folder.bin/inner.bin", "outside inner", 0644);
  WriteFile(root + "/table.bin", "beside the folder", 0644);
  MakeLink("table", root + "/link-to-table");

  const std::uint8_t how = in.Byte();
  std::vector<std::string> names;
  for (int count = 0; count < 40 && !in.Empty(); ++count) {
    const auto kind = static_cast<Kind>(in.Byte() % static_cast<int>(Kind::kCount));
    const std::string name = NameFrom(in);
    if (name.empty() || name == "." || name == "..") continue;
    const std::string path = table + "/" + name;
    switch (kind) {
      case Kind::kFile:
        WriteFile(path, "content of " + name, 0644);
        break;
      case Kind::kReadOnlyFile:
        WriteFile(path, "read-only " + name, 0444);
        break;
      case Kind::kFolder:
        if (::mkdir(path.c_str(), 0755) == 0) {
          WriteFile(path + "/inner.bin", "inner of " + name, 0644);
          WriteFile(path + "/inner.txt", "inner of " + name, 0644);
        }
        break;
      case Kind::kLinkToOutsideFile:
        MakeLink(in.Byte() % 2 == 0 ? "../outside/target.bin" : outside + "/target.txt", path);
        break;
      case Kind::kLinkToOutsideFolder:
        MakeLink(in.Byte() % 2 == 0 ? "../outside/folder.bin" : outside, path);
        break;
      case Kind::kDanglingLink:
        MakeLink("../outside/missing.bin", path);
        break;
      case Kind::kLinkToEntry:
        MakeLink(names.empty() ? "." : names[in.Byte() % names.size()], path);
        break;
      case Kind::kLoopingLink:
        MakeLink(name, path);
        break;
      case Kind::kPipe:
        if (::mkfifo(path.c_str(), 0644) != 0 && errno != EEXIST) Die("mkfifo " + path);
        break;
      case Kind::kCount:
        break;
    }
    names.push_back(name);
  }
  switch (how % 8) {
    case 0:
      return {table + "/", true};
    case 1:
      return {table, true};
    case 2:
      return {table + "//", true};
    case 3:
      return {root + "/link-to-table/", true};
    case 4:
      return {root + "/link-to-table", true};
    case 5:
      return {root + "/table.bin", false};  // a file, not a folder
    case 6:
      return {root + "/missing/", false};  // not there
    default:
      return {table + "/./", true};
  }
}

}  // namespace

// libFuzzer's entry point; libFuzzer declares it in no header.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string root = BaseFolder() + "/run-XXXXXX";
  if (::mkdtemp(root.data()) == nullptr) Die("mkdtemp run");
  Reader in(data, size);
  const auto [folderSpec, isTable] = LayOut(root, in);

  Tree before;
  Snapshot(root, "", before);
  Tree expected = before;
  if (isTable) {
    for (const auto& [key, node] : before) {
      const std::size_t slash = key.find('/');
      if (key.rfind("table/", 0) != 0 || key.find('/', slash + 1) != std::string::npos) continue;
      if (ModelRemoves(root + "/table", key.substr(slash + 1), node)) expected.erase(key);
    }
  }

  try {
    tables::DeleteAllBins(folderSpec, platform::CreateFileSystem);
  } catch (const std::exception& error) {
    Die(std::string("an error left the sweep: ") + error.what());
  }

  Tree after;
  Snapshot(root, "", after);
  if (after != expected) {
    for (const auto& [key, node] : expected) {
      if (after.count(key) == 0)
        std::fprintf(stderr, "  should still be there: %s\n", key.c_str());
      else if (!(after.at(key) == node))
        std::fprintf(stderr, "  changed: %s\n", key.c_str());
    }
    for (const auto& [key, node] : after) {
      if (expected.count(key) == 0) std::fprintf(stderr, "  should be gone: %s\n", key.c_str());
    }
    Die("the sweep of " + folderSpec + " did not do exactly its job");
  }

  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return 0;
}
