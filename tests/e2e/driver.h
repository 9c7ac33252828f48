// Drives the built installer from outside its process, as a person at the screen would: places and
// starts it, finds its dialog by title, reads and clicks its controls, answers its message boxes
// and waits for it to end. Every wait is bounded, so a hung installer fails a test instead of ctest.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

constexpr DWORD ShortWaitMs = 10000;
constexpr DWORD LongWaitMs = 60000;

// Where a downloaded installer is placed by the tests.
constexpr const char* DownloadedSetup = "C:\\Downloads\\quorvel-setup.exe";
constexpr const char* DialogTitle = "Setup - Quorvel";

struct SetupProcess {
  HANDLE process = nullptr;
  HANDLE thread = nullptr;  // the dialog's thread: the installer has only one
  DWORD processId = 0;
  DWORD threadId = 0;
  HWND dialog = nullptr;
  std::string exePath;
};

struct MessageBoxSeen {
  HWND window = nullptr;
  std::string caption;
  std::string text;
};

// Copies the built installer (or any file) to a Windows path, creating its directories.
bool PlaceInstaller(const std::string& windowsPath);
bool CopyToPath(const std::string& from, const std::string& to);

// Starts the program with `currentDir` as its current directory (its own directory when empty)
// and waits for its dialog. False when it did not start or showed no dialog in time.
bool StartSetup(SetupProcess& setup, const std::string& exePath, const std::string& currentDir = "");
// Starts the program without waiting for a window.
bool LaunchSetup(SetupProcess& setup, const std::string& exePath, const std::string& currentDir = "");
bool WaitForDialog(SetupProcess& setup, DWORD timeoutMs = ShortWaitMs);
// Ends a program that a failed test left running and closes the handles.
void EndSetup(SetupProcess& setup);

std::string ControlText(const SetupProcess& setup, int id);
bool ControlEnabled(const SetupProcess& setup, int id);
// The control that has the keyboard focus in the dialog's thread (0 when none or unknown).
int FocusedControlId(const SetupProcess& setup);
// Focus moves after a message box has gone, so checks of it wait a little.
bool WaitForFocus(const SetupProcess& setup, int id, DWORD timeoutMs = ShortWaitMs);
// Posted, so that a click that opens a modal box does not block the driver.
void ClickButton(const SetupProcess& setup, int id);
// Sets a field's text the way typing does: the edit box itself gets WM_SETTEXT, so it notifies
// the dialog (for the combo box, its child edit box).
void TypeText(const SetupProcess& setup, int id, const std::string& text);
void CloseDialogWindow(const SetupProcess& setup);

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);
bool WaitForControlText(const SetupProcess& setup, int id, const std::string& text,
                        DWORD timeoutMs = ShortWaitMs);

// A message box of the installer's process (a visible top-level "#32770" other than its dialog).
bool FindMessageBox(const SetupProcess& setup, MessageBoxSeen& box);
bool WaitForMessageBox(const SetupProcess& setup, MessageBoxSeen& box, DWORD timeoutMs = ShortWaitMs);
void AnswerMessageBox(const MessageBoxSeen& box, int button);

// Waits for the process to end; the exit code is stored when it did.
bool WaitForExit(SetupProcess& setup, DWORD timeoutMs, DWORD* exitCode);

enum InstallEnd { KindInstallCompleted, KindInstallMessage, KindInstallTimedOut };
// Presses Install and waits until button 2 reads "&Open" or a message box appears.
InstallEnd RunInstallation(const SetupProcess& setup, MessageBoxSeen& box, DWORD timeoutMs = LongWaitMs);

// Presses Install, then holds the installer's thread still between observations until `reached`
// is true, and runs `whileHeld` while it is held (only calls that need no answer from the
// installer's thread: posting, IsWindowEnabled). False when the installation ended (or timed
// out) before `reached` became true.
bool HoldInstallationWhen(const SetupProcess& setup, const std::function<bool()>& reached,
                          const std::function<void()>& whileHeld, DWORD timeoutMs = LongWaitMs);
// Presses Install, then holds the installer's thread still between observations until `reached`
// is true and posts Exit while it is held, so the stop lands at the step that was observed.
// With `byClosing` it posts WM_CLOSE to the dialog instead, as the close box does.
// False when the installation ended (or timed out) before `reached` became true.
bool StopInstallationWhen(const SetupProcess& setup, const std::function<bool()>& reached,
                          DWORD timeoutMs = LongWaitMs, bool byClosing = false);
