#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "ui/shell/registry.h"

namespace qn {

namespace {

// Read access plus query, set, create-sub-key, enumerate, notify and create-link rights.
constexpr REGSAM kWriteAccess = 0x2003F;

// The predefined root handles are these 32-bit values, sign-extended to the pointer's width.
HKEY root_handle(std::int32_t root) {
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root));
}

LONG write_value(HKEY key, const std::string& name, std::int32_t type, const std::string& data,
                 LONG status) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(data.c_str());
  switch (type) {
    case 1:  // the text and its terminating NUL
      return RegSetValueExA(key, name.c_str(), 0, REG_SZ, bytes,
                            static_cast<DWORD>(data.size() + 1));
    case 3:
      return RegSetValueExA(key, name.c_str(), 0, REG_BINARY, bytes,
                            static_cast<DWORD>(data.size()));
    case 4: {
      std::int32_t number = 0;
      if (!parse_dword_text(data, number)) return ERROR_INVALID_DATA;
      DWORD dword = static_cast<DWORD>(number);
      return RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&dword), sizeof dword);
    }
    default:  // nothing is written; the open's result stands
      return status;
  }
}

}  // namespace

bool RegistryClass::SetKeyValue(std::int32_t KeyRoot, const std::string& KeyName,
                                std::int32_t lType, const std::string& SubKeyRef,
                                std::string& KeyVal) {
  HKEY root = root_handle(KeyRoot);
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(root, KeyName.c_str(), 0, kWriteAccess, &key);
  if (status != ERROR_SUCCESS) {
    // Creating also opens; its own result is not looked at, the open's failure stands.
    key = nullptr;
    if (RegCreateKeyA(root, KeyName.c_str(), &key) != ERROR_SUCCESS) key = nullptr;
  }
  // With neither open nor create successful there is no handle to write through.
  if (key != nullptr) {
    status = write_value(key, SubKeyRef, lType, KeyVal, status);
    RegCloseKey(key);
  }
  if (status != ERROR_SUCCESS) {
    KeyVal.clear();
    return false;
  }
  return true;
}

}  // namespace qn

#endif  // _WIN32
