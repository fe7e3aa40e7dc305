#include "windows/test_folder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_services.h"

namespace testing_win {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

int WineMajorVersion() {
  const auto version =
      platform::SystemFunction<const char*(CDECL*)()>(L"ntdll.dll", "wine_get_version");
  return version ? std::atoi(version()) : 0;
}

std::wstring Verbatim(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

platform::UniqueFileHandle OpenToDelete(const std::wstring& path) {
  platform::UniqueFileHandle file(
      ::CreateFileW(Verbatim(path).c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) throw std::runtime_error("cannot open " + Utf8(path) + " for deletion");
  return file;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(platform::ApiPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolders(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L'\\');
  if (cut != std::wstring::npos && cut > 2) {
    const std::wstring parent = path.substr(0, cut);
    if (!Exists(parent)) MakeFolders(parent);
  }
  if (!::CreateDirectoryW(platform::ApiPath(path).c_str(), nullptr) &&
      ::GetLastError() != ERROR_ALREADY_EXISTS) {
    throw std::runtime_error("CreateDirectoryW failed: " + Utf8(path));
  }
}

namespace {

// Calls `visit` with each entry lying directly in the folder, "." and ".."
// left out.
template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit visit) {
  WIN32_FIND_DATAW data;
  platform::UniqueFindHandle find(
      ::FindFirstFileW(platform::ApiPath(folder + L"\\*").c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") visit(name, data.dwFileAttributes);
  } while (::FindNextFileW(find.get(), &data));
}

}  // namespace

void RemoveTree(const std::wstring& path) {
  ForEachEntry(path, [&](const std::wstring& name, DWORD attributes) {
    const std::wstring child = Verbatim(path + L"\\" + name);
    ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path + L"\\" + name);
    } else {
      ::DeleteFileW(child.c_str());
    }
  });
  ::RemoveDirectoryW(platform::ApiPath(path).c_str());
}

std::set<std::wstring> TreeOf(const std::wstring& folder) {
  std::set<std::wstring> names;
  ForEachEntry(folder, [&](const std::wstring& name, DWORD attributes) {
    names.insert(name);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      for (const std::wstring& inner : TreeOf(folder + L"\\" + name)) {
        names.insert(name + L"\\" + inner);
      }
    }
  });
  return names;
}

std::set<std::wstring> NamesIn(const std::wstring& folder) {
  std::set<std::wstring> names;
  ForEachEntry(folder, [&](const std::wstring& name, DWORD) { names.insert(name); });
  return names;
}

namespace {

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  if (size == 0 || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), out.data(), size) != size) {
    throw std::runtime_error("not UTF-8: " + text);
  }
  return out;
}

// Starts a Linux program (through Wine's Z: drive). Wine gives no handle
// that can be waited on for a Linux process, so the caller waits for what
// the program does. Each argument is quoted; none may hold a quote or end
// in a backslash.
void StartLinux(const std::wstring& program, const std::vector<std::string>& arguments) {
  std::string command = Utf8(program);
  for (const std::string& argument : arguments) command += " \"" + argument + "\"";
  std::wstring line = FromUtf8(command);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    throw std::runtime_error("cannot start " + command);
  }
  const platform::UniqueKernelHandle processHandle(process.hProcess);
  const platform::UniqueKernelHandle threadHandle(process.hThread);
}

// Waits until `name` is listed in `folder`; throws if it never is.
void WaitForName(const std::wstring& folder, const std::wstring& name) {
  if (!WaitUntil([&] { return NamesIn(folder).count(name) != 0; })) {
    throw std::runtime_error("never made: " + Utf8(folder + L"\\" + name));
  }
}

}  // namespace

std::string UnixPath(const std::wstring& path) {
  const auto toUnix =
      platform::SystemFunction<char*(CDECL*)(LPCWSTR)>(L"kernel32.dll", "wine_get_unix_file_name");
  char* name = toUnix ? toUnix(path.c_str()) : nullptr;
  if (name == nullptr) throw std::runtime_error("no Linux path for " + Utf8(path));
  std::string out = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  return out;
}

void MakeLink(const std::wstring& link, const std::wstring& target, bool folder) {
  if (!UnderWine()) {
    if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                               (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) |
                                   SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
      throw std::runtime_error("CreateSymbolicLinkW failed: " + std::to_string(::GetLastError()));
    }
    return;
  }
  StartLinux(L"Z:\\bin\\ln", {"-s", UnixPath(target), UnixPath(link)});
  // Wine lists no link to itself (nor one that leads nowhere); looking one
  // up that loops says it cannot be resolved.
  if (!WaitUntil([&] {
        return ::GetFileAttributesW(platform::ApiPath(link).c_str()) != INVALID_FILE_ATTRIBUTES ||
               ::GetLastError() == ERROR_CANT_RESOLVE_FILENAME;
      })) {
    throw std::runtime_error("no link made at " + Utf8(link));
  }
}

void MakeLinuxFile(const std::wstring& folder, const std::string& name) {
  StartLinux(L"Z:\\usr\\bin\\touch", {UnixPath(folder) + "/" + name});
  WaitForName(folder, FromUtf8(name));
}

void MakeNumberedFiles(const std::wstring& folder, int count, const std::string& suffix) {
  if (count <= 0) return;
  if (UnderWine()) {
    // Wine makes files one by one slowly (milliseconds each); touch makes
    // thousands in a blink, then leaves a mark beside the folder. (Looking
    // for a name that is not there yet reads the whole folder under Wine,
    // so the mark is what is waited for.) The paths are the shell's $0 and
    // $1, taken whole (no field splitting), since they may hold spaces.
    const std::wstring mark = folder + L".made";
    StartLinux(L"Z:\\bin\\sh", {"-c",
                                "IFS=; cd $0 && seq -f %.0f" + suffix + " 0 " +
                                    std::to_string(count - 1) + " | xargs touch && touch $1",
                                UnixPath(folder), UnixPath(folder) + ".made"});
    if (!WaitUntil([&] { return Exists(mark); })) {
      throw std::runtime_error("never made: the files in " + Utf8(folder));
    }
    ::DeleteFileW(platform::ApiPath(mark).c_str());
    return;
  }
  for (int i = 0; i < count; ++i) {
    const std::wstring file = folder + L"\\" + std::to_wstring(i) + FromUtf8(suffix);
    const platform::UniqueFileHandle handle(::CreateFileW(Verbatim(file).c_str(), GENERIC_WRITE, 0,
                                                          nullptr, CREATE_ALWAYS,
                                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) throw std::runtime_error("CreateFileW failed: " + Utf8(file));
  }
}

TestFolder::TestFolder(const std::wstring& leaf) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0) throw std::runtime_error("GetTempPathW failed");
  static unsigned counter = 0;
  path_ = std::wstring(temp, length) + L"vbc" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter);
  MakeFolders(path_);
  path_ += L"\\" + leaf;
  MakeFolders(path_);
}

TestFolder::~TestFolder() { RemoveTree(path_.substr(0, path_.find_last_of(L'\\'))); }

std::wstring TestFolder::Write(const std::wstring& relative, const std::string& content) const {
  const std::wstring file = *this / relative;
  MakeFolders(file.substr(0, file.find_last_of(L'\\')));
  platform::UniqueFileHandle handle(::CreateFileW(Verbatim(file).c_str(), GENERIC_WRITE, 0, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) throw std::runtime_error("CreateFileW failed: " + Utf8(file));
  DWORD written = 0;
  if (!::WriteFile(handle.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                   nullptr)) {
    throw std::runtime_error("WriteFile failed");
  }
  return file;
}

std::wstring TestFolder::MakeFolder(const std::wstring& relative) const {
  MakeFolders(*this / relative);
  return *this / relative;
}

std::set<std::wstring> TestFolder::Tree() const { return TreeOf(path_); }

std::wstring TestProgramFolder() {
  const std::wstring self = platform::ModuleFileName(nullptr);
  return self.substr(0, self.find_last_of(L'\\'));
}

void InstallStandInCompiler(const std::wstring& destination) {
  MakeFolders(destination.substr(0, destination.find_last_of(L'\\')));
  const std::wstring source = TestProgramFolder() + L"\\stand_in_compiler.exe";
  if (!::CopyFileW(source.c_str(), platform::ApiPath(destination).c_str(), FALSE)) {
    throw std::runtime_error("cannot copy the stand-in compiler to " + Utf8(destination));
  }
}

std::vector<Record> ReadRecords(const std::wstring& compiler) {
  std::vector<Record> records;
  const std::wstring folder = compiler.substr(0, compiler.find_last_of(L'\\'));
  const std::wstring prefix = compiler.substr(folder.size() + 1) + L".record-";
  for (const std::wstring& name : TreeOf(folder)) {
    if (name.rfind(prefix, 0) != 0 || name.size() < 4 ||
        name.compare(name.size() - 4, 4, L".txt") != 0) {
      continue;
    }
    // The stand-in renames a whole record into place, but until it closes
    // the handle it renamed through (opened for deletion), an open that does
    // not share deletion, as the stream's does, fails: a record seen is read
    // again until its last line ("end") is there. One that never is stays,
    // as read, for the test to fail on.
    Record record;
    WaitUntil(
        [&] {
          std::ifstream in(platform::ApiPath(folder + L"\\" + name).c_str(), std::ios::binary);
          record.clear();
          std::string line;
          while (std::getline(in, line)) {
            const std::size_t eq = line.find('=');
            if (eq != std::string::npos) record[line.substr(0, eq)].push_back(line.substr(eq + 1));
          }
          return record.count("end") != 0;
        },
        5000);
    records.push_back(std::move(record));
  }
  return records;
}

std::vector<Record> WaitForRecords(const std::wstring& compiler, std::size_t count) {
  // The commands never wait for the compiler, so the test does.
  std::vector<Record> records;
  WaitUntil([&] {
    records = ReadRecords(compiler);
    return records.size() >= count;
  });
  return records;
}

}  // namespace testing_win
