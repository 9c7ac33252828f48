// Drives the built installer from outside its process, as a person at the screen would: places and
// starts it, finds its dialog by title, reads and clicks its controls, answers its message boxes
// and waits for it to end. The end-to-end cases and the Wine dialog cases share it.
// Every wait is for a condition, bounded generously: on a loaded machine a Wine process can stall
// for seconds, and a hung installer still fails its test, only later.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

// For a window or a state that follows at once, and for a whole installation of the sample payload.
constexpr DWORD ShortWaitMs = 60000;
constexpr DWORD LongWaitMs = 120000;

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
// The same with CreateProcess flags (CREATE_SUSPENDED, for example) and arguments after the
// program's quoted path.
bool LaunchSetupWith(SetupProcess& setup, const std::string& exePath, const std::string& currentDir,
                     DWORD creationFlags, const std::string& arguments = "");
bool WaitForDialog(SetupProcess& setup, DWORD timeoutMs = ShortWaitMs);
// Starts the program as a user without administrator rights: suspended, standard_user.dll loaded
// into it before its first instruction, then resumed; the first waits for its dialog.
bool StartSetupAsStandardUser(SetupProcess& setup, const std::string& exePath);
bool LaunchSetupAsStandardUser(SetupProcess& setup, const std::string& exePath, const std::string& arguments = "");
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
// Returns once the installer has handled every message posted to its thread before the call (a
// select-all posted when a field gets the focus, for example), seen through an edit box of it:
// a message sent to the box waits for the handler that is running, then a modified flag posted
// behind the others shows when the queue has reached it.
bool WaitForPostedMessages(HWND editBox, DWORD timeoutMs = ShortWaitMs);

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = ShortWaitMs, DWORD pollMs = 20);
bool WaitForControlText(const SetupProcess& setup, int id, const std::string& text,
                        DWORD timeoutMs = ShortWaitMs);

// A message box of the installer's process (a visible top-level "#32770" other than its dialog).
bool FindMessageBox(const SetupProcess& setup, MessageBoxSeen& box);
bool WaitForMessageBox(const SetupProcess& setup, MessageBoxSeen& box, DWORD timeoutMs = ShortWaitMs);
void AnswerMessageBox(const MessageBoxSeen& box, int button);

// Waits for the process to end; the exit code is stored when it did.
bool WaitForExit(SetupProcess& setup, DWORD timeoutMs, DWORD* exitCode);

// Holding the installer at an exact moment: message_hold.dll, a message hook placed on its thread,
// stops it just before it handles a message of the kind, until the driver releases it. While it
// is held only files, the registry and the screen may be looked at: a window message to the held
// installer would wait for it. One hold at a time per installer.
enum HoldKind { KindHoldStep, KindHoldHintTimer };
struct MessageHold {
  HANDLE due = nullptr;
  HANDLE go = nullptr;
  HANDLE freed = nullptr;
  HHOOK hook = nullptr;
  HANDLE hintText = nullptr;  // 512 bytes: the hint panel's text when the installer was held
};
bool BeginHold(const SetupProcess& setup, HoldKind kind, MessageHold& hold);
// True when the installer is held; false when it was not within the time or has ended.
bool WaitForHold(const SetupProcess& setup, const MessageHold& hold, DWORD timeoutMs = ShortWaitMs);
// The hint panel's text as the held installer shows it.
std::string HeldHintText(const MessageHold& hold);
// Lets the held message be handled; the next one of the kind is held again.
void ReleaseHold(const MessageHold& hold);
// Lets everything run and takes the hook away.
void EndHold(MessageHold& hold);

enum InstallEnd { KindInstallCompleted, KindInstallMessage, KindInstallTimedOut };
// Presses Install and waits until button 2 reads "&Open" or a message box appears.
InstallEnd RunInstallation(const SetupProcess& setup, MessageBoxSeen& box, DWORD timeoutMs = LongWaitMs);

// Presses Install and holds the installer before every step (message_hold.dll, a message hook on its
// thread) to evaluate `reached`; when it is true, runs `whileHeld` while the installer is held, so
// what it posts lands at the end of exactly the next step, however busy the machine is. `reached`
// and `whileHeld` may only look at files, the registry and window states (IsWindowEnabled) and
// post: a window message sent to the held installer would wait for it. False when the
// installation ended (or timed out) before `reached` became true.
bool HoldInstallationWhen(const SetupProcess& setup, const std::function<bool()>& reached,
                          const std::function<void()>& whileHeld, DWORD timeoutMs = LongWaitMs);
// HoldInstallationWhen, posting Exit while the installer is held.
// With `byClosing` it posts WM_CLOSE to the dialog instead, as the close box does.
// False when the installation ended (or timed out) before `reached` became true.
bool StopInstallationWhen(const SetupProcess& setup, const std::function<bool()>& reached,
                          DWORD timeoutMs = LongWaitMs, bool byClosing = false);
