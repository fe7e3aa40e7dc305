// The commands end to end on a temporary host installation: real sweep,
// real process start.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/system_platform.h"
#include "posix/temp_folder.h"
#include "tables/system_error.h"
#include "tables/table_commands.h"

namespace tables {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

class HostPlatform final : public platform::SystemPlatform {
 public:
  explicit HostPlatform(fs::path host) : host_(std::move(host)) {}
  NativeString ApplicationFolder() override { return host_.string(); }

 private:
  fs::path host_;
};

// A compiler that writes its working folder, its arguments and the table
// folder's names.
void InstallRecordingCompiler(const TempFolder& host) {
  const fs::path compiler =
      host.Write("req/compile.exe",
                 "#!/bin/sh\n"
                 "from=$(pwd)\n"
                 "cd \"$(dirname \"$0\")\"\n"
                 "{ echo \"$from\"; echo \"$@\"; ls ../scripts/table; } > record.tmp &&\n"
                 "  mv record.tmp record\n");
  fs::permissions(compiler, fs::perms::owner_all);
}

std::string WaitForRecord(const fs::path& record) {
  // The compiler is not waited for by the command; the test waits instead.
  for (int i = 0; i < 200 && !fs::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  std::ifstream in(record);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PosixCommands, CompileBinsStartsTheCompilerInTheApplicationFolderAfterTheSweep) {
  TempFolder host;
  host.Write("scripts/table/a.bin");
  host.Write("scripts/table/keep.txt");
  InstallRecordingCompiler(host);
  HostPlatform platform(host.Path());
  CompileBins(platform);
  // The test runs elsewhere: the compiler is not to inherit that folder.
  ASSERT_NE(fs::current_path(), host.Path());
  EXPECT_EQ(WaitForRecord(host.Path() / "req/record"),
            host.Path().string() + "\ntable_bin startgame\nkeep.txt\n");
}

TEST(PosixCommands, MissingCompilerIsReportedAfterTheSweepRan) {
  TempFolder host;
  host.Write("scripts/table/a.bin");
  HostPlatform platform(host.Path());
  try {
    CompileBins(platform);
    FAIL() << "no error raised";
  } catch (const SystemError& error) {
    EXPECT_EQ(error.Number(), static_cast<std::uint32_t>(ENOENT));
    EXPECT_FALSE(error.Description().empty());
  }
  EXPECT_FALSE(fs::exists(host.Path() / "scripts/table/a.bin"));
}

}  // namespace
}  // namespace tables
