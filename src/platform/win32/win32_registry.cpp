#include "platform/win32/win32_registry.h"

#include <cstdint>
#include <cstring>

namespace dorvane::modRegistry {

bool IsValidRegKeyPath(const std::string& keyPath) {
  if (!keyPath.empty() && (keyPath.front() == '\\' || keyPath.back() == '\\')) return false;
  return keyPath.find("\\\\") == std::string::npos;
}

void CheckRegResult(long result) {
  if (result != ERROR_SUCCESS) throw RegistryError(result);
}

bool QueryRegValue(HKEY hive, const std::string& keyPath, const std::string& valueName, std::string& result) {
  if (!IsValidRegKeyPath(keyPath)) return false;
  HKEY key = nullptr;
  bool read = false;
  try {
    CheckRegResult(::RegOpenKeyExA(hive, keyPath.c_str(), 0, kKeyAccess, &key));
    char buf[kValueBufferBytes] = {};
    DWORD size = sizeof buf;
    DWORD type = REG_NONE;
    CheckRegResult(::RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size));
    std::string raw(buf, size);
    if (!raw.empty() && raw.back() == '\0') raw.pop_back();
    if (type == REG_SZ) {
      result = raw;
    } else if (type == REG_DWORD) {
      std::int32_t value;
      std::memcpy(&value, buf, sizeof value);  // the buffer is zeroed, so a short value reads as its low bytes
      result = std::to_string(value);
    } else {
      result.clear();
    }
    read = true;
  } catch (const RegistryError&) {
    // Missing key or value, refused access: the caller keeps what it had.
  }
  if (key) ::RegCloseKey(key);
  return read;
}

}  // namespace dorvane::modRegistry
