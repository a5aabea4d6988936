// The Windows platform as one object, for main().
#pragma once

#include <string>
#include <vector>

#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_systeminfo.h"

namespace dorvane {

class Win32Platform {
 public:
  explicit Win32Platform(std::vector<std::string> args) : system_(std::move(args)) {}
  FileSystem& Files() { return files_; }
  Processes& Procs() { return processes_; }
  SystemInfo& System() { return system_; }

 private:
  Win32FileSystem files_;
  Win32Processes processes_;
  Win32SystemInfo system_;
};

}  // namespace dorvane
