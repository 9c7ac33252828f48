// The main dialog as the installation engine and the removal see it: its window, message boxes
// owned by it, control texts and states, the posted step command, the queue drain and the clock
// that bounds a run of steps. Every call is harmless while no dialog exists (tests run the engine
// without one).
#include "platform/platform.h"

static HWND mainDialog;
static SetupChangeHandler changeHandler;

void SetSetupChangeHandler(SetupChangeHandler handler) { changeHandler = handler; }

void ReportSetupChange(SetupChange change) {
  if (changeHandler) changeHandler(change);
}

void SetDialogWindow(HWND dialog) { mainDialog = dialog; }

HWND DialogWindow() { return mainDialog; }

static MessageLogger messageLogger;
static bool messagesHidden;

void SetMessageLogger(MessageLogger logger, bool hideMessages) {
  messageLogger = logger;
  messagesHidden = hideMessages;
}

static int ShowOwnedMessage(HWND owner, const char* text, const char* caption, unsigned style) {
  if (messageLogger) messageLogger(caption, text);
  if (messagesHidden) return IDCANCEL;
  return MessageBoxA(owner, text, caption, style);
}

int ShowMessage(const char* text, const char* caption, unsigned style) {
  return ShowOwnedMessage(mainDialog, text, caption, style);
}

int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style) {
  return ShowOwnedMessage(nullptr, text, caption, style);
}

static HWND ControlOf(int id) { return mainDialog ? GetDlgItem(mainDialog, id) : nullptr; }

void SetControlText(int id, const char* text) {
  if (HWND control = ControlOf(id)) SetWindowTextA(control, text);
}

void EnableControl(int id, bool enable) {
  if (HWND control = ControlOf(id)) EnableWindow(control, enable ? TRUE : FALSE);
}

bool ControlIsEnabled(int id) {
  HWND control = ControlOf(id);
  return control && IsWindowEnabled(control);
}

void FocusControl(int id) {
  HWND dialog = mainDialog;
  if (HWND control = ControlOf(id)) SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

// With no dialog (a silent run, the engine's tests) the step goes to the thread's own queue, where
// the next drain takes it: it marks the moment between two steps there too.
void PostStepCommand() { PostMessageA(mainDialog, WM_COMMAND, MAKEWPARAM(1, 0), 0); }

// A step posted just before a stop would reach the dialog with installing clear and be taken for
// a press of Install, starting the installation again. The posted step is the only command 1
// without a control window.
void DiscardPostedSteps() {
  MSG message;
  while (mainDialog &&
         PeekMessageA(&message, mainDialog, WM_COMMAND, WM_COMMAND, PM_NOREMOVE | PM_NOYIELD) &&
         message.wParam == IDOK && message.lParam == 0)
    PeekMessageA(&message, mainDialog, WM_COMMAND, WM_COMMAND, PM_REMOVE | PM_NOYIELD);
}

// The dialog manager's keyboard handling is deliberately not applied: Enter and Escape must not
// turn into commands while an installation runs.
void DrainMessages(unsigned first, unsigned last) {
  MSG message;
  while (PeekMessageA(&message, nullptr, first, last, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Work that may hold the thread for a long time runs on a thread of its own, while this one
// answers messages sent to the dialog and paints it. Input and posted messages wait until the
// work is done or its bound has passed, so that nothing the user does runs in the middle of it.
// Work still running at the bound is left to end by itself: it must own what it touches.
WorkOutcome RunWhileAnswering(LPTHREAD_START_ROUTINE work, void* context, uint32_t boundMs) {
  DWORD threadId;  // Windows 95 fails CreateThread without somewhere to put the id
  HANDLE thread = CreateThread(nullptr, 0, work, context, 0, &threadId);
  if (!thread) return WorkNotStarted;
  DWORD start = GetTickCount();
  DWORD woken;
  // A question already waiting would not end the wait: it is answered before the first one.
  do {
    DrainMessages(WM_PAINT, WM_PAINT);
    DWORD waited = GetTickCount() - start;
    woken = waited < boundMs ? MsgWaitForMultipleObjects(1, &thread, FALSE, boundMs - waited,
                                                         QS_SENDMESSAGE | QS_PAINT)
                             : WAIT_TIMEOUT;
  } while (woken == WAIT_OBJECT_0 + 1);
  CloseHandle(thread);
  return woken == WAIT_OBJECT_0 ? WorkFinished : WorkTimedOut;
}

void ShowArrowCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

uint32_t QueuedMessageKinds(uint32_t kinds) { return HIWORD(GetQueueStatus(kinds)); }

// The performance counter when there is one whose rate fits 32 bits, else GetTickCount. Callers
// only subtract two counts, so the wrap of the low 32 bits does no harm over short intervals.
static uint32_t countsPerMillisecond;  // 0 until asked

uint32_t SteadyCountsPerMillisecond() {
  if (countsPerMillisecond == 0) {
    LARGE_INTEGER frequency;
    bool usable = QueryPerformanceFrequency(&frequency) && frequency.HighPart == 0 && frequency.LowPart >= 1000;
    countsPerMillisecond = usable ? frequency.LowPart / 1000 : 1;
  }
  return countsPerMillisecond;
}

uint32_t SteadyCount() {
  LARGE_INTEGER now;
  if (SteadyCountsPerMillisecond() == 1 || !QueryPerformanceCounter(&now)) return GetTickCount();
  return now.LowPart;
}
