// The operating system's own services for the table commands.
#pragma once

#include <memory>
#include <vector>

#include "tables/table_commands.h"

namespace platform {

// Starts `program` with `arguments` as a separate process in
// `workingFolder`, without waiting. Throws tables::SystemError when it
// cannot be started.
void StartProgram(const tables::NativeString& program,
                  const std::vector<tables::NativeString>& arguments,
                  const tables::NativeString& workingFolder, tables::ShowState show);

// The folder holding the running executable, without a trailing separator.
tables::NativeString ApplicationFolder();

// The file-system service of this operating system.
std::unique_ptr<tables::FileSystem> CreateFileSystem();

// The real thing: every service from the operating system. Tests derive from
// it to point one service elsewhere.
class SystemPlatform : public tables::TablePlatform {
 public:
  tables::NativeString ApplicationFolder() override;
  std::unique_ptr<tables::FileSystem> CreateFileSystem() override;
  void StartProgram(const tables::NativeString& program,
                    const std::vector<tables::NativeString>& arguments,
                    const tables::NativeString& workingFolder, tables::ShowState show) override;
};

}  // namespace platform
