#include "platform/system_platform.h"

namespace platform {

tables::NativeString SystemPlatform::ApplicationFolder() { return platform::ApplicationFolder(); }

std::unique_ptr<tables::FileSystem> SystemPlatform::CreateFileSystem() {
  return platform::CreateFileSystem();
}

void SystemPlatform::StartProgram(const tables::NativeString& program,
                                  const std::vector<tables::NativeString>& arguments,
                                  const tables::NativeString& workingFolder,
                                  tables::ShowState show) {
  platform::StartProgram(program, arguments, workingFolder, show);
}

}  // namespace platform
