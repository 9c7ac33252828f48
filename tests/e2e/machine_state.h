// What the installer leaves on the machine, read from the test's own process in the same Wine
// prefix: files and their CRC-32, registry values, the settings file, shortcuts, snapshots of the
// drive and the registry, and where the payload lies inside the installer's file.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

constexpr const char* DefaultInstallFolder = "C:\\Program Files\\xan";
constexpr const char* UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel";
constexpr const char* IniName = "kavri.ini";

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// -1 when the file is missing.
int64_t FileSize(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string& bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool MakeDirectories(const std::string& path);

uint32_t Crc32(const std::string& bytes);
// False when the file cannot be read.
bool FileCrc32(const std::string& path, uint32_t& crc);

bool RegistryKeyExists(HKEY root, const std::string& subkey);
// False when the value is missing or not of that type.
bool ReadRegistryString(HKEY root, const std::string& subkey, const char* name, std::string& value);
bool ReadRegistryDword(HKEY root, const std::string& subkey, const char* name, DWORD& value);

// The value of section/key in kavri.ini (the Windows directory's unless named), or "<missing>".
std::string SettingsValue(const char* section, const char* key, const std::string& file = IniName);

std::string SpecialFolder(int csidl);
// The target path stored in a shell link, or "" when it cannot be loaded.
std::string ShortcutTarget(const std::string& linkPath);

// Every file and directory below root (full paths, directories ending in "\"), sorted.
std::vector<std::string> ListTree(const std::string& root);
// Every key and value below a registry key, one line each ("key" or "key: name = type data"), sorted.
std::vector<std::string> ListRegistry(HKEY root, const std::string& subkey);
// Lines of `after` that are not in `before`, and lines of `before` missing from `after`, marked + / -.
std::vector<std::string> Differences(const std::vector<std::string>& before,
                                     const std::vector<std::string>& after);

// Drive C: and HKLM\Software, HKCU\Software together, registry lines marked "HKLM\" or "HKCU\"
// (and "HKLM64\" for the 64-bit view under WoW64); values read as Wine saves them (`"name"="text"`).
std::vector<std::string> SnapshotMachine();

// Processes of this prefix whose program file is named `name` (as "cmd.exe"): the deletion after
// an uninstall runs as a hidden command interpreter, and its pause as ping.
int RunningProcesses(const char* name);

// Position in the file and size of a resource of type 256 in an executable, found by walking its
// PE headers and resource directory.
struct ResourceSpan {
  uint32_t position = 0;
  uint32_t size = 0;
};
bool FindPayloadResource(const std::string& exeBytes, int id, ResourceSpan& span);
