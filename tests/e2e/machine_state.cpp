// Reads the machine's state for the end-to-end checks: files, CRC-32, registry, settings file,
// shell links, whole-tree snapshots, and the payload resources' positions in the installer.
#include "tests/e2e/machine_state.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <set>

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  char buffer[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0)
    bytes.append(buffer, got);
  CloseHandle(file);
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  return ok;
}

uint32_t Crc32(const std::string& bytes) {
  static uint32_t table[256];
  if (!table[1]) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

bool FileCrc32(const std::string& path, uint32_t& crc) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  crc = Crc32(bytes);
  return true;
}

bool RegistryKeyExists(HKEY root, const std::string& subkey) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

namespace {

bool ReadRegistryValue(HKEY root, const std::string& subkey, const char* name, DWORD wantType,
                       std::string& data) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  char buffer[1024];
  DWORD type = 0;
  DWORD size = sizeof buffer;
  LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != wantType) return false;
  data.assign(buffer, size);
  return true;
}

}  // namespace

bool ReadRegistryString(HKEY root, const std::string& subkey, const char* name, std::string& value) {
  std::string data;
  if (!ReadRegistryValue(root, subkey, name, REG_SZ, data)) return false;
  value = data.c_str();
  return true;
}

bool ReadRegistryDword(HKEY root, const std::string& subkey, const char* name, DWORD& value) {
  std::string data;
  if (!ReadRegistryValue(root, subkey, name, REG_DWORD, data) || data.size() != 4) return false;
  std::memcpy(&value, data.data(), 4);
  return true;
}

std::string SettingsValue(const char* section, const char* key, const std::string& file) {
  char buffer[512] = {};
  GetPrivateProfileStringA(section, key, "<missing>", buffer, sizeof buffer, file.c_str());
  return buffer;
}

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) return std::string();
  return path;
}

std::string ShortcutTarget(const std::string& linkPath) {
  std::string target;
  HRESULT init = CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      wchar_t wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
      char path[MAX_PATH] = {};
      if (SUCCEEDED(file->Load(wide, STGM_READ)) &&
          SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
        target = path;
      file->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return target;
}

namespace {

void WalkTree(const std::string& dir, std::vector<std::string>& out) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = dir + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // Reparse points lead back into the Unix file system (Z:) or loop; they are not ours.
      if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
      out.push_back(path + "\\");
      WalkTree(path, out);
    } else {
      out.push_back(path);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

std::string DescribeValue(DWORD type, const BYTE* data, DWORD size) {
  char number[32];
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return std::string("sz ") + std::string(reinterpret_cast<const char*>(data), size).c_str();
    case REG_DWORD:
      if (size == 4) {
        DWORD value;
        std::memcpy(&value, data, 4);
        std::snprintf(number, sizeof number, "dword %lu", static_cast<unsigned long>(value));
        return number;
      }
      break;
  }
  std::snprintf(number, sizeof number, "type %lu, %lu bytes", static_cast<unsigned long>(type),
                static_cast<unsigned long>(size));
  return number;
}

void WalkRegistry(HKEY root, const std::string& subkey, std::vector<std::string>& out) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out.push_back(subkey);
  static BYTE data[65536];
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameSize = sizeof name;
    DWORD type = 0;
    DWORD dataSize = sizeof data;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
      break;
    out.push_back(subkey + ": " + name + " = " + DescribeValue(type, data, dataSize));
  }
  std::vector<std::string> children;
  for (DWORD index = 0;; ++index) {
    char name[256];
    if (RegEnumKeyA(key, index, name, sizeof name) != ERROR_SUCCESS) break;
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const std::string& child : children) WalkRegistry(root, subkey + "\\" + child, out);
}

}  // namespace

std::vector<std::string> ListTree(const std::string& root) {
  std::vector<std::string> out;
  WalkTree(root, out);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> ListRegistry(HKEY root, const std::string& subkey) {
  std::vector<std::string> out;
  WalkRegistry(root, subkey, out);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> Differences(const std::vector<std::string>& before,
                                     const std::vector<std::string>& after) {
  std::set<std::string> old(before.begin(), before.end());
  std::set<std::string> now(after.begin(), after.end());
  std::vector<std::string> out;
  for (const std::string& line : after)
    if (!old.count(line)) out.push_back("+ " + line);
  for (const std::string& line : before)
    if (!now.count(line)) out.push_back("- " + line);
  return out;
}

namespace {

// Lets this process save registry branches, which Wine's server asks of a backup program.
void EnableBackupPrivilege() {
  static bool done = false;
  if (done) return;
  done = true;
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueA(nullptr, SE_BACKUP_NAME, &privileges.Privileges[0].Luid))
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  CloseHandle(token);
}

// Lists a registry branch from one RegSaveKeyA: Wine's server writes the whole branch in one
// request, where walking it costs a round trip per key and per value (about 6 s for each view of
// HKLM\Software in a 64-bit prefix). Lines are "<prefix><key>" for every key and
// "<prefix><key>: <value as saved>", the keys' modification times left out. Branches below a
// first-level subkey named in `skipped` are left out. A branch that cannot be saved and read back
// as Wine's text format fails the test: its changes would go unseen.
void ListBranch(HKEY root, const char* subkey, REGSAM view, const std::string& prefix,
                std::initializer_list<const char*> skipped, std::vector<std::string>& out) {
  EnableBackupPrivilege();
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "quorvel-snapshot.reg";
  DeleteFileA(file.c_str());
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  LONG saved = RegSaveKeyA(key, file.c_str(), nullptr);
  RegCloseKey(key);
  std::string text;
  bool read = saved == ERROR_SUCCESS && ReadWholeFile(file, text);
  DeleteFileA(file.c_str());
  if (!read || text.compare(0, 13, "WINE REGISTRY") != 0) {
    ADD_FAILURE() << "the registry branch " << prefix << subkey << " could not be saved and read back";
    return;
  }

  const size_t first = out.size();
  std::string current = prefix + subkey;
  std::set<std::string> keys;
  bool skipping = false;
  size_t at = text.find('\n');
  while (at != std::string::npos && at + 1 < text.size()) {
    size_t end = text.find('\n', at + 1);
    std::string line = text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    at = end;
    // A long value goes on over lines that end in a backslash.
    while (!line.empty() && line.back() == '\\' && at != std::string::npos) {
      end = text.find('\n', at + 1);
      line.pop_back();
      line += text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
      at = end;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      std::string path;
      for (size_t i = 1; i < line.size() && line[i] != ']'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '\\') ++i;
        path += line[i];
      }
      std::string first = path.substr(0, path.find('\\'));
      skipping = false;
      for (const char* name : skipped) skipping = skipping || lstrcmpiA(first.c_str(), name) == 0;
      current = prefix + subkey + (path.empty() ? "" : "\\" + path);
      // Only keys with values or without subkeys are saved: list their parents too, so that a
      // key that gains its first subkey does not look removed.
      for (size_t cut = current.find('\\', prefix.size() + std::strlen(subkey)); !skipping;
           cut = current.find('\\', cut + 1)) {
        std::string key = current.substr(0, cut);
        if (keys.insert(key).second) out.push_back(key);
        if (cut == std::string::npos) break;
      }
      continue;
    }
    if (!skipping) out.push_back(current + ": " + line);
  }
  std::sort(out.begin() + first, out.end());
}

}  // namespace

std::vector<std::string> SnapshotMachine() {
  std::vector<std::string> all = ListTree("C:");
  // Wine's own bookkeeping (window positions, temporary system parameters) changes as any
  // program runs; it is not the installer's.
  ListBranch(HKEY_LOCAL_MACHINE, "Software", 0, "HKLM\\", {"Wine"}, all);
  ListBranch(HKEY_CURRENT_USER, "Software", 0, "HKCU\\", {"Wine"}, all);
  // On 64-bit Windows this 32-bit process sees HKLM\Software redirected to Wow6432Node, as the
  // installer does; a write that escaped to the 64-bit view would only show in that view.
  BOOL wow64 = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)
    ListBranch(HKEY_LOCAL_MACHINE, "Software", KEY_WOW64_64KEY, "HKLM64\\", {"Wine", "Wow6432Node"}, all);
  return all;
}

int RunningProcesses(const char* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (lstrcmpiA(entry.szExeFile, name) == 0) ++count;
  CloseHandle(snapshot);
  return count;
}

namespace {

uint32_t Read32(const std::string& bytes, size_t at) {
  if (at + 4 > bytes.size()) return 0;
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

uint16_t Read16(const std::string& bytes, size_t at) {
  if (at + 2 > bytes.size()) return 0;
  uint16_t value;
  std::memcpy(&value, bytes.data() + at, 2);
  return value;
}

// The offset of the entry with numeric id `id` (any id when negative) in a resource directory.
bool FindResourceEntry(const std::string& bytes, size_t section, size_t directory, int id,
                       size_t& next) {
  size_t at = section + directory;
  unsigned named = Read16(bytes, at + 12);
  unsigned numbered = Read16(bytes, at + 14);
  for (unsigned i = 0; i < named + numbered; ++i) {
    size_t entry = at + 16 + 8 * i;
    uint32_t name = Read32(bytes, entry);
    uint32_t target = Read32(bytes, entry + 4);
    if ((name & 0x80000000u) || (id >= 0 && name != static_cast<uint32_t>(id))) continue;
    next = target & 0x7FFFFFFFu;
    return true;
  }
  return false;
}

}  // namespace

bool FindPayloadResource(const std::string& bytes, int id, ResourceSpan& span) {
  uint32_t nt = Read32(bytes, 0x3C);
  if (Read32(bytes, nt) != 0x00004550u) return false;
  unsigned sections = Read16(bytes, nt + 6);
  unsigned optionalSize = Read16(bytes, nt + 20);
  size_t optional = nt + 24;
  uint32_t resourceRva = Read32(bytes, optional + 112);
  size_t table = optional + optionalSize;
  for (unsigned i = 0; i < sections; ++i) {
    size_t header = table + 40 * i;
    uint32_t virtualAddress = Read32(bytes, header + 12);
    uint32_t virtualSize = Read32(bytes, header + 8);
    uint32_t rawPointer = Read32(bytes, header + 20);
    if (resourceRva < virtualAddress || resourceRva >= virtualAddress + virtualSize) continue;
    size_t section = rawPointer + (resourceRva - virtualAddress);
    size_t idDirectory, languageDirectory, dataEntry;
    if (!FindResourceEntry(bytes, section, 0, 256, idDirectory) ||
        !FindResourceEntry(bytes, section, idDirectory, id, languageDirectory) ||
        !FindResourceEntry(bytes, section, languageDirectory, -1, dataEntry))
      return false;
    uint32_t dataRva = Read32(bytes, section + dataEntry);
    span.size = Read32(bytes, section + dataEntry + 4);
    span.position = dataRva - virtualAddress + rawPointer;
    return span.position + span.size <= bytes.size();
  }
  return false;
}
