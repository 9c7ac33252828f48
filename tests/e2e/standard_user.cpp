// A standard user made for Wine, which runs every program as an administrator: the driver loads
// this DLL into the installer before its first instruction (started suspended, the DLL loaded by
// a thread of the driver's making, then resumed). It patches the entry of the ntdll calls that
// every file, registry and token service of the process ends in, so that what Windows denies a
// user without administrator rights fails here with STATUS_ACCESS_DENIED (ERROR_ACCESS_DENIED
// above ntdll), whichever DLL asks: kernel32's files and profile functions, advapi32's registry,
// the shell's link saving. Everything else goes on to the real call.
//   Files: creating, writing, deleting or renaming anything in or below the Windows directory,
//   Program Files (both views) and ProgramData (the all-users profile and Start menu). Reading
//   and opening existing files there stay allowed, as on Windows.
//   Registry: creating keys, opening keys for any write access, setting and deleting values and
//   keys under HKEY_LOCAL_MACHINE; reading stays allowed, and a request for the maximum access is
//   granted read access, as Windows grants it.
//   Token: not elevated, elevation type "limited", the Administrators group deny-only (as in
//   the filtered token of a user under User Account Control).
#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <cwchar>
#include <initializer_list>

namespace {

constexpr NTSTATUS Denied = static_cast<NTSTATUS>(0xC0000022L);  // STATUS_ACCESS_DENIED
constexpr ACCESS_MASK FileWrites = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                   DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL |
                                   MAXIMUM_ALLOWED;
constexpr ACCESS_MASK KeyWrites = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
constexpr ULONG DeleteOnClose = 0x1000;  // FILE_DELETE_ON_CLOSE
constexpr int RenameClass = 10, LinkClass = 11, RenameClassEx = 65;
constexpr int KeyNameClass = 3;          // KeyNameInformation
constexpr int TokenGroupsClass = 2, TokenElevationTypeClass = 18, TokenElevationClass = 20;

// The protected folders as NT sees them: "\??\C:\windows", without a trailing backslash.
wchar_t protectedFolders[6][MAX_PATH + 8];
int protectedCount;

void AddProtectedFolder(const wchar_t* dosPath) {
  if (!dosPath[0] || protectedCount == 6) return;
  wchar_t* folder = protectedFolders[protectedCount++];
  wcscpy(folder, L"\\??\\");
  wcsncat(folder, dosPath, MAX_PATH);
  size_t length = wcslen(folder);
  if (folder[length - 1] == L'\\') folder[length - 1] = L'\0';
}

void FindProtectedFolders() {
  wchar_t path[MAX_PATH];
  if (GetWindowsDirectoryW(path, MAX_PATH)) AddProtectedFolder(path);
  for (const wchar_t* name : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"ProgramData"})
    if (GetEnvironmentVariableW(name, path, MAX_PATH) - 1u < MAX_PATH - 1u) AddProtectedFolder(path);
  AddProtectedFolder(L"C:\\Program Files");
}

// Whether the counted name is `top` or lies below it, without regard to case.
bool LiesWithin(const wchar_t* name, size_t length, const wchar_t* top) {
  size_t topLength = wcslen(top);
  return length >= topLength && _wcsnicmp(name, top, topLength) == 0 &&
         (length == topLength || name[topLength] == L'\\');
}

bool IsProtectedFile(const wchar_t* name, size_t length) {
  for (int i = 0; i < protectedCount; ++i)
    if (LiesWithin(name, length, protectedFolders[i])) return true;
  return false;
}

bool IsProtectedFile(const OBJECT_ATTRIBUTES* attributes) {
  const UNICODE_STRING* name = attributes ? attributes->ObjectName : nullptr;
  return name && name->Buffer && IsProtectedFile(name->Buffer, name->Length / sizeof(wchar_t));
}

// ---- patching: each hooked entry jumps to its replacement; the replacement calls a copy of the
// entry's first instructions (a Wine system-call stub is 15 position-independent bytes).
constexpr size_t StubSize = 16;

void* Patch(const char* name, void* replacement) {
  auto* entry = reinterpret_cast<unsigned char*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name));
  if (!entry) return nullptr;
  auto* copy = static_cast<unsigned char*>(VirtualAlloc(nullptr, StubSize, MEM_COMMIT, PAGE_EXECUTE_READWRITE));
  if (!copy) return nullptr;
  memcpy(copy, entry, StubSize);
  DWORD old = 0;
  if (!VirtualProtect(entry, 5, PAGE_EXECUTE_READWRITE, &old)) return nullptr;
  entry[0] = 0xE9;  // jmp rel32
  LONG distance = static_cast<LONG>(reinterpret_cast<intptr_t>(replacement) - reinterpret_cast<intptr_t>(entry + 5));
  memcpy(entry + 1, &distance, sizeof distance);
  VirtualProtect(entry, 5, old, &old);
  FlushInstructionCache(GetCurrentProcess(), entry, 5);
  return copy;
}

// ---- files

using CreateFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                        ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using OpenFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, ULONG, ULONG);
using SetFileCall = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, int);
using QueryAttributesCall = NTSTATUS(NTAPI*)(POBJECT_ATTRIBUTES, PVOID);
CreateFileCall realCreateFile;
OpenFileCall realOpenFile;
SetFileCall realSetFile;

bool Exists(POBJECT_ATTRIBUTES attributes) {
  static auto query = reinterpret_cast<QueryAttributesCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryAttributesFile")));
  unsigned char basic[64];
  return query && query(attributes, basic) >= 0;
}

NTSTATUS NTAPI CreateFileAsUser(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                PIO_STATUS_BLOCK status, PLARGE_INTEGER size, ULONG fileAttributes, ULONG sharing,
                                ULONG disposition, ULONG options, PVOID ea, ULONG eaLength) {
  if (IsProtectedFile(attributes) &&
      ((access & FileWrites) || (options & DeleteOnClose) ||
       (disposition != FILE_OPEN && (disposition != FILE_OPEN_IF || !Exists(attributes)))))
    return Denied;
  return realCreateFile(handle, access, attributes, status, size, fileAttributes, sharing, disposition, options, ea,
                        eaLength);
}

NTSTATUS NTAPI OpenFileAsUser(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                              PIO_STATUS_BLOCK status, ULONG sharing, ULONG options) {
  if (IsProtectedFile(attributes) && ((access & FileWrites) || (options & DeleteOnClose))) return Denied;
  return realOpenFile(handle, access, attributes, status, sharing, options);
}

// A rename or link into a protected folder; the source was opened with DELETE, refused above
// when it lies in one.
NTSTATUS NTAPI SetFileAsUser(HANDLE file, PIO_STATUS_BLOCK status, PVOID data, ULONG length, int infoClass) {
  if ((infoClass == RenameClass || infoClass == LinkClass || infoClass == RenameClassEx) &&
      length >= sizeof(ULONG) + sizeof(HANDLE) + sizeof(ULONG)) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    ULONG nameBytes;
    memcpy(&nameBytes, bytes + sizeof(ULONG) + sizeof(HANDLE), sizeof nameBytes);
    auto* name = reinterpret_cast<const wchar_t*>(bytes + 2 * sizeof(ULONG) + sizeof(HANDLE));
    if (IsProtectedFile(name, nameBytes / sizeof(wchar_t))) return Denied;
  }
  return realSetFile(file, status, data, length, infoClass);
}

// ---- registry

using CreateKeyCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG, PUNICODE_STRING, ULONG,
                                       PULONG);
using OpenKeyCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
using OpenKeyExCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG);
using SetValueCall = NTSTATUS(NTAPI*)(HANDLE, PUNICODE_STRING, ULONG, ULONG, PVOID, ULONG);
using DeleteKeyCall = NTSTATUS(NTAPI*)(HANDLE);
using DeleteValueCall = NTSTATUS(NTAPI*)(HANDLE, PUNICODE_STRING);
using QueryKeyCall = NTSTATUS(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
CreateKeyCall realCreateKey;
OpenKeyCall realOpenKey;
OpenKeyExCall realOpenKeyEx;
SetValueCall realSetValue;
DeleteKeyCall realDeleteKey;
DeleteValueCall realDeleteValue;

const wchar_t MachineRoot[] = L"\\REGISTRY\\MACHINE";

bool KeyIsMachineWide(HANDLE key) {
  static auto query = reinterpret_cast<QueryKeyCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
  ULONG buffer[(MAX_PATH * 4 + 8) / sizeof(ULONG)];
  ULONG got = 0;
  if (!query || query(key, KeyNameClass, buffer, sizeof buffer, &got) < 0) return false;
  return LiesWithin(reinterpret_cast<const wchar_t*>(buffer + 1), buffer[0] / sizeof(wchar_t), MachineRoot);
}

// A key named from the root, or relative to an open key.
bool IsMachineKey(const OBJECT_ATTRIBUTES* attributes) {
  if (!attributes) return false;
  if (attributes->RootDirectory) return KeyIsMachineWide(attributes->RootDirectory);
  const UNICODE_STRING* name = attributes->ObjectName;
  return name && name->Buffer && LiesWithin(name->Buffer, name->Length / sizeof(wchar_t), MachineRoot);
}

// Wine's shell32 opens the profile list with full access only to read the profile folders from it,
// where the shell of Windows reads it: that open is granted read access rather than refused, or
// the shell could name none of the user's folders.
bool IsReadByTheShell(const OBJECT_ATTRIBUTES* attributes) {
  static const wchar_t ProfileList[] = L"\\ProfileList";
  const size_t tail = wcslen(ProfileList);
  const UNICODE_STRING* name = attributes->ObjectName;
  size_t length = name && name->Buffer ? name->Length / sizeof(wchar_t) : 0;
  return length >= tail && _wcsnicmp(name->Buffer + length - tail, ProfileList, tail) == 0;
}

// The access Windows grants a standard user under HKEY_LOCAL_MACHINE: read only; 0 when refused.
ACCESS_MASK MachineAccess(ACCESS_MASK access, const OBJECT_ATTRIBUTES* attributes) {
  constexpr ACCESS_MASK Views = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
  if (IsReadByTheShell(attributes)) return (access & Views) | KEY_READ;
  if (access & KeyWrites) return 0;
  if (access & MAXIMUM_ALLOWED) access = (access & ~MAXIMUM_ALLOWED) | KEY_READ;
  return access;
}

NTSTATUS NTAPI OpenKeyAsUser(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes) {
  if (IsMachineKey(attributes) && !(access = MachineAccess(access, attributes))) return Denied;
  return realOpenKey(key, access, attributes);
}

NTSTATUS NTAPI OpenKeyExAsUser(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, ULONG options) {
  if (IsMachineKey(attributes) && !(access = MachineAccess(access, attributes))) return Denied;
  return realOpenKeyEx(key, access, attributes, options);
}

// Under HKEY_LOCAL_MACHINE only an existing key is opened; none is created.
NTSTATUS NTAPI CreateKeyAsUser(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, ULONG index,
                               PUNICODE_STRING keyClass, ULONG options, PULONG disposition) {
  if (!IsMachineKey(attributes)) return realCreateKey(key, access, attributes, index, keyClass, options, disposition);
  if (!(access = MachineAccess(access, attributes))) return Denied;
  NTSTATUS opened = realOpenKey(key, access, attributes);
  if (opened < 0) return Denied;
  if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
  return opened;
}

// For keys opened before this DLL was loaded (the system's cached HKEY_LOCAL_MACHINE handle).
NTSTATUS NTAPI SetValueAsUser(HANDLE key, PUNICODE_STRING name, ULONG index, ULONG type, PVOID data, ULONG size) {
  if (KeyIsMachineWide(key)) return Denied;
  return realSetValue(key, name, index, type, data, size);
}

NTSTATUS NTAPI DeleteKeyAsUser(HANDLE key) {
  if (KeyIsMachineWide(key)) return Denied;
  return realDeleteKey(key);
}

NTSTATUS NTAPI DeleteValueAsUser(HANDLE key, PUNICODE_STRING name) {
  if (KeyIsMachineWide(key)) return Denied;
  return realDeleteValue(key, name);
}

// ---- token

using QueryTokenCall = NTSTATUS(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
QueryTokenCall realQueryToken;

NTSTATUS NTAPI QueryTokenAsUser(HANDLE token, int infoClass, PVOID data, ULONG size, PULONG got) {
  NTSTATUS status = realQueryToken(token, infoClass, data, size, got);
  if (status < 0 || !data) return status;
  if (infoClass == TokenElevationTypeClass && size >= sizeof(DWORD)) {
    *static_cast<DWORD*>(data) = TokenElevationTypeLimited;
  } else if (infoClass == TokenElevationClass && size >= sizeof(DWORD)) {
    *static_cast<DWORD*>(data) = 0;
  } else if (infoClass == TokenGroupsClass) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators))
      return status;
    auto* groups = static_cast<TOKEN_GROUPS*>(data);
    for (DWORD i = 0; i < groups->GroupCount; ++i)
      if (EqualSid(groups->Groups[i].Sid, administrators)) groups->Groups[i].Attributes = SE_GROUP_USE_FOR_DENY_ONLY;
    FreeSid(administrators);
  }
  return status;
}

template <typename Call> void Hook(Call& real, const char* name, Call replacement) {
  real = reinterpret_cast<Call>(Patch(name, reinterpret_cast<void*>(replacement)));
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  FindProtectedFolders();
  Hook(realCreateFile, "NtCreateFile", CreateFileAsUser);
  Hook(realOpenFile, "NtOpenFile", OpenFileAsUser);
  Hook(realSetFile, "NtSetInformationFile", SetFileAsUser);
  Hook(realOpenKey, "NtOpenKey", OpenKeyAsUser);
  Hook(realOpenKeyEx, "NtOpenKeyEx", OpenKeyExAsUser);
  Hook(realCreateKey, "NtCreateKey", CreateKeyAsUser);
  Hook(realSetValue, "NtSetValueKey", SetValueAsUser);
  Hook(realDeleteKey, "NtDeleteKey", DeleteKeyAsUser);
  Hook(realDeleteValue, "NtDeleteValueKey", DeleteValueAsUser);
  Hook(realQueryToken, "NtQueryInformationToken", QueryTokenAsUser);
  // Every entry or none: a half-made standard user would test nothing.
  return realCreateFile && realOpenFile && realSetFile && realOpenKey && realOpenKeyEx && realCreateKey &&
         realSetValue && realDeleteKey && realDeleteValue && realQueryToken;
}
