// Starting another program: the viewer (Open) and the hidden self-delete script.
#include "platform/platform.h"

bool StartProgram(const char* application, const char* currentDirectory, int showCommand,
                  uint32_t priorityClass, bool waitForInputIdle) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION started = {};
  if (!CreateProcessA(application, nullptr, nullptr, nullptr, FALSE, priorityClass, nullptr, currentDirectory,
                      &startup, &started))
    return false;
  if (waitForInputIdle) WaitForInputIdle(started.hProcess, 60000);
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  return true;
}
