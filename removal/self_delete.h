// The hidden command that deletes the running uninstaller copy after the program has exited.
#pragma once
#include <cstddef>
#include <cstdint>

// About a minute: one try a second. A copy that can never go (read-only, held by another program)
// must not keep a hidden console busy until the user logs off.
#define SELF_DELETE_TRIES "60"

void ScheduleSelfDelete();
// Whether the command may name this path: plain printable ASCII without "%", "!" or quotes.
bool ScriptCanNamePath(const char* path);
// Composes the command line that starts `systemFolder`\cmd.exe to delete the copy (a full path),
// then to remove `folder` (a full path, no trailing backslash; may be null) and each parent down
// to the first `createdLength` bytes, deepest first (none when 0). Returns its length; 0 when it
// does not fit (the buffer or the interpreter's 8191 characters) or a path cannot be named safely.
size_t ComposeSelfDeleteCommand(char* buffer, size_t size, const char* systemFolder, const char* copyPath,
                                const char* folder, size_t createdLength);
// "xan%03u%c" and the extension, from the milliseconds (0 to 999) and a letter; false when it does
// not fit the buffer or the milliseconds have more than three digits.
bool FormatTemporaryName(char* buffer, size_t size, unsigned milliseconds, char letter, const char* extension);
// Whether a temporary folder path of this length (GetTempPathA's result) leaves room for a
// temporary name and its terminator.
bool TempFolderLeavesRoom(uint32_t length);
// Offers `take` the temporary folder's names "xan%03u<letter><extension>" for the letters a to z
// in turn, each as a full path in `path` (PathSize bytes), until it takes one. Returns the length
// of the folder part of `path` (with its final separator); 0 when no name was taken.
uint32_t TakeTemporaryName(char* path, const char* extension, bool (*take)(const char* path));
