// The platform layer: every Win32 service that install/, registration/ and removal/ use, as
// verb-named functions. The dialog code in app/ talks to USER32 and GDI32 directly.
#pragma once
#include <windows.h>
#include <cstdint>

#include "platform/paths.h"

// Files. A handle that is not open is NoFile (-1).
using FileHandle = intptr_t;
constexpr FileHandle NoFile = -1;

FileHandle OpenForRead(const char* path);        // read, shared for readers, existing, sequential
FileHandle OpenUnshared(const char* path);       // read, no sharing at all (the in-use probe)
FileHandle CreateForWrite(const char* path);     // read/write, shared r/w, always afresh, sequential
FileHandle CreateNewForWrite(const char* path);  // write, shared for readers, never overwrites
bool FileIsPresent(const char* path);            // opens for reading and closes at once
bool FileIsListed(const char* path);              // a file (not a folder) by that name, openable or not
bool IsSameFile(const char* first, const char* second);  // one file (volume and index), both openable
long ReadBlock(FileHandle file, void* buffer, uint32_t count);         // bytes read, -1 on error
long WriteBlock(FileHandle file, const void* buffer, uint32_t count);  // bytes written, -1 on error
uint32_t SeekToEnd(FileHandle file);                                   // the file's length
uint32_t FileLength(const char* path);  // opens, measures and closes; 0 when it cannot be opened
void CloseFile(FileHandle file);
bool DeletePath(const char* path);
bool RenamePath(const char* from, const char* to);
// Renames on the same volume only: never a copy across drives, which could not delete a running
// source and would leave the copy behind.
bool RenameWithinVolume(const char* from, const char* to);
// Puts `from` in the place of `to` in one rename where Windows can (the old file stays whole until
// then); where it cannot, deletes `to` first.
bool ReplaceWithFile(const char* from, const char* to);
// Appends text to the file, which it creates when missing; opened and closed for each call, so
// that the file is whole whenever the program stops.
void AppendToFile(const char* path, const char* text);
bool MakeDirectory(const char* path);
bool RemoveEmptyDirectory(const char* path);
// Qualifies a name against the current drive and directory without touching the disk
// (OpenFile with OF_PARSE); the result is in the OEM character set.
bool ParseFileName(const char* name, char* oemResult, unsigned size);
void ConvertOemToAnsi(const char* oem, char* ansi, unsigned size);
const char* NextCharacter(const char* text);  // CharNextA: steps over a double-byte character
void UpperCaseText(char* text);               // CharUpperA
uint32_t TempFolderPath(char* buffer, uint32_t size);  // GetTempPathA's result
bool SetCurrentFolder(const char* path);
uint16_t TickMilliseconds();  // the tick count's milliseconds, 0 to 999

// The LZ reader (lz32): expands SZDD files and passes any other file through.
using LzHandle = int;
constexpr LzHandle NoLz = -1;
LzHandle OpenLzReader(FileHandle file);  // negative on failure
long ReadLz(LzHandle reader, void* buffer, uint32_t count);
long SeekLz(LzHandle reader, long offset, int origin);  // origin 0 = start, 2 = end
void CloseLz(LzHandle reader);  // closes the file under it too

// The running program's own image and resources.
const unsigned char* OwnImageBase();
bool FindOwnResource(uint16_t id, uint16_t type, uint32_t* dataRva, uint32_t* size);
uint32_t OwnModulePath(char* buffer, uint32_t size);  // its length; "" and 0 when cut short

// Registry.
enum RegistryRoot { RootLocalMachine, RootCurrentUser };
HKEY CreateKeyForWrite(RegistryRoot root, const char* path);  // null on failure
void SetStringValue(HKEY key, const char* name, const char* text);
void SetNumberValue(HKEY key, const char* name, uint32_t number);
void CloseKey(HKEY key);
bool DeleteKey(RegistryRoot root, const char* path);
// Reads a REG_SZ value that fits whole into buffer; false leaves the buffer empty.
bool ReadStringValue(RegistryRoot root, const char* path, const char* name, char* buffer, uint32_t size);

// The private profile file (kept by Windows in its own directory).
void ReadProfileText(const char* file, const char* section, const char* key, const char* fallback,
                     char* buffer, uint32_t size);
uint32_t ReadProfileNumber(const char* file, const char* section, const char* key, uint32_t fallback);
void WriteProfileText(const char* file, const char* section, const char* key, const char* text);  // null deletes

// Shell folders and shell links.
uint16_t SpecialFolderPath(int csidl, char* buffer);  // length, 0 when the shell has none
// The user's local application data folder (CSIDL_LOCAL_APPDATA) and `name` after it, into a
// buffer of MAX_PATH bytes; false, with the buffer empty, when the shell has none or it does not fit.
bool ComposeLocalDataPath(char* buffer, const char* name);
// Saves on a thread of its own, waiting at most 30 s; LinkSaveTimedOut also when a save that
// timed out earlier has not ended yet.
enum LinkSaveOutcome { LinkSaved, LinkNotSaved, LinkSaveTimedOut };
LinkSaveOutcome SaveShellLink(const char* linkPath, const char* target, int iconIndex);
bool LoadShellLinkTarget(const wchar_t* linkPath, char* target, WIN32_FIND_DATAA* targetData);
bool WidenText(const char* text, wchar_t* wide, unsigned units);

// Processes.
// Starts `application` with no command line; false when it could not be started.
bool StartProgram(const char* application, const char* currentDirectory, int showCommand,
                  uint32_t priorityClass, bool waitForInputIdle);
// Starts `application` hidden with `commandLine` (which the call may write to) and leaves it running.
bool StartHiddenCommand(const char* application, char* commandLine, const char* currentDirectory,
                        uint32_t priorityClass);
uint32_t SystemFolderPath(char* buffer, uint32_t size);  // GetSystemDirectoryA's result; 0 when cut short

// What the engine tells the dialog. The engine keeps SetupState and writes nothing on the dialog;
// the dialog derives every control, the status line and button 2's caption from the state when it
// hears of a change.
enum SetupChange {
  KindFolderNormalised,  // folder holds the normalised text
  KindGroupRefused,      // Install refused the group name
  KindFolderRefused,     // Install refused the folder
  KindInstallBegun,      // recorded as begun: inputs locked, Install still takes no second press
  KindInstallUnderWay,   // the first steps have been answered: Exit takes the focus from Install
  KindFileBegun,         // a file of the current row is being copied
  KindVerifyBegun,       // the current row's file is being read back
  KindInstallStopped,
  KindInstallDone,
  KindUninstallEnded,    // partiallyInstalled tells whether something was left for a later Uninstall
};
using SetupChangeHandler = void (*)(SetupChange change);
void SetSetupChangeHandler(SetupChangeHandler handler);
void ReportSetupChange(SetupChange change);

// The main dialog, as seen by the installation engine and the removal.
void SetDialogWindow(HWND dialog);
HWND DialogWindow();
int ShowMessage(const char* text, const char* caption, unsigned style);  // owned by the dialog
int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style);
// Every message is handed to the logger first; hidden, it is not shown and the answer is Cancel:
// a silent run retries nothing.
using MessageLogger = void (*)(const char* caption, const char* text);
void SetMessageLogger(MessageLogger logger, bool hideMessages);
void SetControlText(int id, const char* text);
void EnableControl(int id, bool enable);
bool ControlIsEnabled(int id);
void FocusControl(int id);  // WM_NEXTDLGCTL with the control's window
void PostStepCommand();     // WM_COMMAND 1 to the dialog (with none, to the thread)
void DiscardPostedSteps();  // takes every posted step off the dialog's queue
// PeekMessage/TranslateMessage/DispatchMessage until no message in the range is left (by default,
// until the queue is empty); messages sent from other threads are answered on the way.
void DrainMessages(unsigned first = 0, unsigned last = 0);
// Runs work on a thread of its own and waits at most boundMs for it, answering sent messages and
// paints meanwhile. Only after WorkFinished may the caller read what the work wrote; after
// WorkTimedOut the work may still be running.
enum WorkOutcome { WorkFinished, WorkTimedOut, WorkNotStarted };
WorkOutcome RunWhileAnswering(LPTHREAD_START_ROUTINE work, void* context, uint32_t boundMs);
uint32_t QueuedMessageKinds(uint32_t kinds);  // GetQueueStatus: which of the QS_ kinds are queued
// A steady clock (wrapping): its count, and how many counts make a millisecond.
uint32_t SteadyCount();
uint32_t SteadyCountsPerMillisecond();
void ShowArrowCursor();
