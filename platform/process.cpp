// Starting another program: the viewer (Open) and the hidden self-delete command.
#include "platform/platform.h"

static bool Start(const char* application, char* commandLine, const char* currentDirectory, int showCommand,
                  uint32_t priorityClass, bool waitForInputIdle) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION started;  // filled when the process starts, and read only then
  if (!CreateProcessA(application, commandLine, nullptr, nullptr, FALSE, priorityClass, nullptr, currentDirectory,
                      &startup, &started))
    return false;
  if (waitForInputIdle) WaitForInputIdle(started.hProcess, 60000);
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  return true;
}

bool StartProgram(const char* application, const char* currentDirectory, int showCommand,
                  uint32_t priorityClass, bool waitForInputIdle) {
  return Start(application, nullptr, currentDirectory, showCommand, priorityClass, waitForInputIdle);
}

bool StartHiddenCommand(const char* application, char* commandLine, const char* currentDirectory,
                        uint32_t priorityClass) {
  return Start(application, commandLine, currentDirectory, SW_HIDE, priorityClass, false);
}

uint32_t SystemFolderPath(char* buffer, uint32_t size) {
  if (size == 0) return 0;
  UINT length = GetSystemDirectoryA(buffer, size);
  if (length >= size) length = 0;  // cut short: treat as no path
  buffer[length] = '\0';
  return length;
}
