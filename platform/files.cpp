// Files, directories and file-name services of KERNEL32 for the installation engine and removal:
// opening, creating, reading, writing, renaming, the OF_PARSE qualifier, the conversion of its OEM
// result to ANSI and the double-byte aware character step.
#include "platform/platform.h"
#include "platform/shell.h"
#include <cstring>

static FileHandle HandleOf(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? NoFile : reinterpret_cast<FileHandle>(handle);
}

static HANDLE Win32HandleOf(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// Every open of a file goes through here: no security attributes, no template file.
static FileHandle OpenWith(const char* path, DWORD access, DWORD sharing, DWORD disposition, DWORD flags) {
  return HandleOf(CreateFileA(path, access, sharing, nullptr, disposition, flags, nullptr));
}

FileHandle OpenForRead(const char* path) {
  return OpenWith(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
}

FileHandle OpenUnshared(const char* path) {
  return OpenWith(path, GENERIC_READ, 0, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
}

static FileHandle OpenForWrite(const char* path, DWORD disposition) {
  return OpenWith(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN);
}

FileHandle CreateForWrite(const char* path) { return OpenForWrite(path, CREATE_ALWAYS); }

FileHandle CreateNewForWrite(const char* path) {
  return OpenWith(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
}

void AppendToFile(const char* path, const char* text) {
  FileHandle file = OpenForWrite(path, OPEN_ALWAYS);
  if (file == NoFile) return;
  SeekToEnd(file);
  WriteBlock(file, text, static_cast<uint32_t>(strlen(text)));
  CloseFile(file);
}

bool FileIsPresent(const char* path) {
  FileHandle file = OpenForRead(path);
  if (file == NoFile) return false;
  CloseFile(file);
  return true;
}

// The folder's entry is read without opening the file, so a file that another program holds
// without any sharing still shows as present.
bool FileIsListed(const char* path) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstEntry(path, &entry);
  bool listed = search != INVALID_HANDLE_VALUE && !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseEntrySearch(search);
  return listed;
}

bool IsSameFile(const char* first, const char* second) {
  BY_HANDLE_FILE_INFORMATION info[2];  // each filled by a call that succeeded, or not read
  const char* paths[2] = {first, second};
  for (int i = 0; i < 2; ++i) {
    FileHandle file = OpenForRead(paths[i]);
    if (file == NoFile) return false;
    BOOL known = GetFileInformationByHandle(Win32HandleOf(file), &info[i]);
    CloseFile(file);
    if (!known) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

long ReadBlock(FileHandle file, void* buffer, uint32_t count) {
  DWORD done = 0;
  if (file == NoFile || !ReadFile(Win32HandleOf(file), buffer, count, &done, nullptr)) return -1;
  return static_cast<long>(done);
}

long WriteBlock(FileHandle file, const void* buffer, uint32_t count) {
  DWORD done = 0;
  if (file == NoFile || !WriteFile(Win32HandleOf(file), buffer, count, &done, nullptr)) return -1;
  return static_cast<long>(done);
}

// Not inlined: link-time optimisation would otherwise copy it into both of its callers.
__attribute__((noinline)) uint32_t SeekToEnd(FileHandle file) {
  DWORD end = SetFilePointer(Win32HandleOf(file), 0, nullptr, FILE_END);
  return end == INVALID_SET_FILE_POINTER ? 0 : end;
}

uint32_t FileLength(const char* path) {
  FileHandle file = OpenForRead(path);
  if (file == NoFile) return 0;
  uint32_t length = SeekToEnd(file);
  CloseFile(file);
  return length;
}

void CloseFile(FileHandle file) {
  if (file != NoFile) CloseHandle(Win32HandleOf(file));
}

// Not inlined: link-time optimisation would otherwise copy it into each of its callers.
__attribute__((noinline)) bool DeletePath(const char* path) { return DeleteFileA(path) != FALSE; }

bool RenamePath(const char* from, const char* to) { return MoveFileA(from, to) != FALSE; }

// Without MOVEFILE_COPY_ALLOWED, MoveFileEx refuses another volume instead of copying.
bool RenameWithinVolume(const char* from, const char* to) { return MoveFileExA(from, to, 0) != FALSE; }

// Windows 95 has no MoveFileEx (the call fails there): delete, then rename.
bool ReplaceWithFile(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
  DeletePath(to);
  return MoveFileA(from, to) != FALSE;
}

bool MakeDirectory(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

bool RemoveEmptyDirectory(const char* path) { return RemoveDirectoryA(path) != FALSE; }

// OFSTRUCT holds 128 bytes of path; a result that would not fit the caller's buffer counts as a
// failed parse rather than a silently shortened root.
bool ParseFileName(const char* name, char* oemResult, unsigned size) {
  OFSTRUCT parsed = {};
  parsed.cBytes = sizeof parsed;
  if (size == 0) return false;
  oemResult[0] = '\0';
  if (OpenFile(name, &parsed, OF_PARSE) == HFILE_ERROR) return false;
  return CopyText(oemResult, size, parsed.szPathName);
}

// The conversion takes a character count, not a terminated text: convert only up to the
// terminator (or what fits) and terminate the result here.
void ConvertOemToAnsi(const char* oem, char* ansi, unsigned size) {
  if (size == 0) return;
  DWORD length = static_cast<DWORD>(strnlen(oem, size - 1));
  if (length != 0 && !OemToCharBuffA(oem, ansi, length)) length = 0;
  ansi[length] = '\0';
}

// Not inlined: link-time optimisation would otherwise copy it into each of its callers.
__attribute__((noinline)) const char* NextCharacter(const char* text) { return CharNextA(text); }

void UpperCaseText(char* text) { CharUpperA(text); }

// Not inlined: link-time optimisation would otherwise copy it into both of its callers.
__attribute__((noinline)) uint32_t TempFolderPath(char* buffer, uint32_t size) { return GetTempPathA(size, buffer); }

bool SetCurrentFolder(const char* path) { return SetCurrentDirectoryA(path) != FALSE; }

// A name varied by the time needs only some clock's milliseconds: the tick count serves as well
// as the local time, and its function is imported already.
uint16_t TickMilliseconds() { return static_cast<uint16_t>(GetTickCount() % 1000); }
