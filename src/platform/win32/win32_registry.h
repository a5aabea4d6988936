// modRegistry: reading KORA1's registry values. DORVANE never writes the
// registry.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <stdexcept>
#include <string>

#include "platform/status.h"

namespace dorvane::modRegistry {

// Access asked for when opening a key.
inline constexpr REGSAM kKeyAccess = 0x2003F;
// Bytes of the buffer a value is read into; longer values are not read.
inline constexpr DWORD kValueBufferBytes = 1024;

// A registry call that did not return 0, as the invalid-call run-time error.
struct RegistryError : std::runtime_error {
  explicit RegistryError(long code)
      : std::runtime_error(ErrorDescription(kErrInvalidCall)), number(kErrInvalidCall), code(code) {}
  int number;
  long code;  // what the registry call returned
};

// False when the path begins or ends with "\" or holds an empty component.
bool IsValidRegKeyPath(const std::string& keyPath);

// Throws RegistryError for any result but 0 (ERROR_SUCCESS).
void CheckRegResult(long result);

// Reads valueName under hive\keyPath. Text comes back as it is stored, a
// 32-bit number in signed decimal, any other type as empty text. On failure
// result is left as it was and the answer is false.
bool QueryRegValue(HKEY hive, const std::string& keyPath, const std::string& valueName, std::string& result);

}  // namespace dorvane::modRegistry
