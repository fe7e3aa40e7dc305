// A mod's proxy DLLs beside the tool, as in a game's top folder: none runs
// inside it, neither while it starts nor while it works.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/main_window.h"
#include "ui/planted_dlls.h"

namespace window_test {
namespace {

class PlantedDlls : public MainWindow {
 protected:
  // Plants a mod's proxy DLLs under every name that Windows takes from a
  // program's folder first into the host's top folder, makes the system
  // prefer them there as Windows does, and runs `program` from that folder
  // through both commands to its end. Fails for each probe that ran inside
  // it; the compiler it starts keeps its own search order.
  void RunAmongPlantedDlls(const std::wstring& program) {
    const std::vector<std::wstring> names = testing_win::ProxyDllNames();
    testing_win::PlantProbes(host_.Path(), names);
    const std::wstring loader = host_ / L"load_by_name.exe";
    const testing_win::ScopedFolderDllsFirst folderFirst(
        {program.substr(program.find_last_of(L'\\') + 1), L"load_by_name.exe"}, names);

    // The probes do run where nothing keeps them out: a program beside them
    // that loads one by name gets it. (Wine, unless told to prefer the
    // folder's DLLs as Windows does, would give it its own uxtheme.)
    ASSERT_TRUE(::CopyFileW((testing_win::TestProgramFolder() + L"\\load_by_name.exe").c_str(),
                            loader.c_str(), FALSE));
    ASSERT_EQ(RunToEnd(L"\"" + loader + L"\" uxtheme.dll"), 0u);
    const auto ranInLoader = [&] {
      for (const testing_win::ProbeMark& mark : testing_win::ProbeMarksIn(host_.Path())) {
        if (testing_win::SamePath(mark.program, loader)) return true;
      }
      return false;
    };
    ASSERT_TRUE(ranInLoader()) << "no probe ran even in a program that loads one by name";

    testing_win::InstallStandInCompiler(Compiler());
    ASSERT_NO_FATAL_FAILURE(Start(program));
    ASSERT_NO_FATAL_FAILURE(Click(command1_));
    ASSERT_EQ(AwaitRecords(1).size(), 1u) << "no compiler started";
    WaitForIdle(window_);
    host_.Write(L"scripts\\table\\again.bin");
    ASSERT_NO_FATAL_FAILURE(Click(command2_));
    EXPECT_TRUE(Await([&] { return Table() == SweptTable(); }));
    WaitForIdle(window_);
    ASSERT_NO_FATAL_FAILURE(Close());

    for (const testing_win::ProbeMark& mark : testing_win::ProbeMarksIn(host_.Path())) {
      if (testing_win::SamePath(mark.program, loader) ||
          testing_win::SamePath(mark.program, Compiler())) {
        continue;
      }
      ADD_FAILURE() << Utf8(mark.dll) << " ran inside " << Utf8(mark.program);
    }
  }

  // Runs a command line from the host's top folder and gives its exit code.
  DWORD RunToEnd(std::wstring commandLine) const {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          host_.Path().c_str(), &startup, &started)) {
      ADD_FAILURE() << "cannot start " << Utf8(commandLine) << ": " << ::GetLastError();
      return ~DWORD{0};
    }
    const UniqueKernelHandle process(started.hProcess);
    const UniqueKernelHandle thread(started.hThread);
    DWORD exitCode = ~DWORD{0};
    if (::WaitForSingleObject(process.get(), kPatienceMs) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.get(), &exitCode)) {
      ADD_FAILURE() << Utf8(commandLine) << " did not end";
    }
    return exitCode;
  }
};

// A mod's proxy DLLs beside the tool, as in a game's top folder: none runs
// inside it, neither while it starts nor while it works.
TEST_F(PlantedDlls, NoneRunsInsideTheTool) { RunAmongPlantedDlls(Exe()); }

// The same where the system lacks SetDefaultDllDirectories (Windows 7
// without KB2533623): a build of the tool that takes that way at start.
TEST_F(PlantedDlls, NoneRunsInsideTheToolWithoutSetDefaultDllDirectories) {
  const std::wstring host = host_ / L"fallback_host.exe";
  ASSERT_TRUE(::CopyFileW((testing_win::TestProgramFolder() + L"\\fallback_host.exe").c_str(),
                          host.c_str(), FALSE));
  RunAmongPlantedDlls(host);
}

}  // namespace
}  // namespace window_test
