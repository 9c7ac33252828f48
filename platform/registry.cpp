// The registry through ADVAPI32: the uninstall key's values and the "Shell Folders" lookups.
#include "platform/platform.h"
#include <cstring>

// Not inlined: link-time optimisation would otherwise copy it into each of its three callers.
__attribute__((noinline)) static HKEY RootKey(RegistryRoot root) {
  return root == RootLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HKEY CreateKeyForWrite(RegistryRoot root, const char* path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(RootKey(root), path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

// The stored size counts the terminating NUL.
void SetStringValue(HKEY key, const char* name, const char* text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(strlen(text) + 1));
}

void SetNumberValue(HKEY key, const char* name, uint32_t number) {
  DWORD data = number;
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

void CloseKey(HKEY key) {
  if (key) RegCloseKey(key);
}

bool DeleteKey(RegistryRoot root, const char* path) {
  return RegDeleteKeyA(RootKey(root), path) == ERROR_SUCCESS;
}

// A value stored without its terminator is accepted when the terminator still fits; a value that
// does not fit whole, or is not REG_SZ, leaves the buffer empty.
bool ReadStringValue(RegistryRoot root, const char* path, const char* name, char* buffer, uint32_t size) {
  if (size == 0) return false;
  buffer[0] = '\0';
  HKEY key = nullptr;
  if (RegOpenKeyExA(RootKey(root), path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD bytes = size;
  bool found = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) ==
                   ERROR_SUCCESS &&
               type == REG_SZ;
  RegCloseKey(key);
  if (found && bytes > 0 && buffer[bytes - 1] == '\0') return true;
  if (found && bytes < size) {
    buffer[bytes] = '\0';
    return true;
  }
  buffer[0] = '\0';
  return false;
}
