// The main dialog: the message dispatch, the initialisation, the field and footer fonts, the
// control state derived from SetupState, and the dialog's own commands (Exit/Open, Browse,
// Suggested). Everything else that arrives here is handed on to the part that owns it.
#include "app/main_dialog.h"

#include "app/colour_scheme.h"
#include "app/drag_drop.h"
#include "app/hints.h"
#include "app/text_fields.h"
#include "app/unattended.h"
#include "install/folder_rules.h"
#include "install/progress_meter.h"
#include "install/setup_state.h"
#include "install/state_records.h"
#include "install/step_machine.h"
#include "registration/program_group.h"
#include "registration/settings_file.h"
#include "removal/uninstall.h"
#include "resources/resource_ids.h"

const char* const SetupTitle = "Setup - Quorvel";
HINSTANCE programInstance;
HCURSOR systemWaitCursor;

static const char* const ExitOpenCaptions[2] = {"E&xit", "&Open"};  // indexed by openAvailable
static const char* const PublisherNotice =
    "Quorvel, an electronic publication by Norvane.\n"
    "Install copies it to this computer; Uninstall removes it again.";
static const char* const BrowseTitle = "Select Destination Path";
constexpr unsigned BrowseLimit = FolderLimit + 1;  // the chosen path must be shorter than this
// CLIP_DFA_DISABLE: no font association, so the notice keeps the dialog font's own glyphs. The
// headers declare it only for newer Windows versions than this program targets.
constexpr BYTE ClipNoFontAssociation = 0x40;

// The input controls are enabled and disabled as one set; Suggested with them, but only while the
// group differs from its default (UpdateSuggestedButton).
static const uint16_t InputControls[] = {IDC_GROUP, IDC_FOLDER, IDC_GROUP_LABEL, IDC_FOLDER_LABEL, IDC_BROWSE};

struct DialogResources {
  HFONT fieldFont;   // the icon-title face at the dialog font's height, for fields 999 and 1000
  HFONT footerFont;  // the dialog font without font association, for the notice
};
static DialogResources resources;
static DWORD completedAt;       // GetTickCount when the installation of this run completed
static int shownOpenAvailable;  // the caption button 2 shows: an index of ExitOpenCaptions, -1 none yet

uint16_t EditHeightFor(uint16_t fieldHeight, uint16_t systemHeight) {
  uint16_t smaller = systemHeight < fieldHeight ? systemHeight : fieldHeight;
  return static_cast<uint16_t>(fieldHeight + smaller / 2);
}

static void SetControlFont(HWND dialog, int id, HFONT font) {
  SendMessageA(GetDlgItem(dialog, id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

static uint16_t MeasureFontHeight(HFONT font) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, font);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(screen, &metrics);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  return static_cast<uint16_t>(metrics.tmHeight);
}

// The footer font and the dialog font's height; 0 when the dialog has no font.
static uint16_t SetUpFooterFont(HWND dialog) {
  HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  if (!dialogFont) return 0;
  LOGFONTA description = {};
  GetObjectA(dialogFont, sizeof description, &description);
  description.lfClipPrecision |= ClipNoFontAssociation;
  resources.footerFont = CreateFontIndirectA(&description);
  SetControlFont(dialog, IDC_NOTICE, resources.footerFont);
  return MeasureFontHeight(dialogFont);
}

// The fields take the face of the icon-title font, which suits typed text better than the dialog
// font, at the dialog font's height so that the layout keeps its proportions.
static void SetUpFieldFont(HWND dialog, uint16_t dialogHeight) {
  LOGFONTA iconTitle;
  bool known = SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof iconTitle, &iconTitle, 0);
  LOGFONTA description = {};
  CopyText(description.lfFaceName, known ? iconTitle.lfFaceName : "System");
  description.lfHeight = dialogHeight;
  description.lfWeight = FW_NORMAL;
  description.lfCharSet = DEFAULT_CHARSET;
  resources.fieldFont = CreateFontIndirectA(&description);
  if (!resources.fieldFont) return;

  uint16_t systemHeight = MeasureFontHeight(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
  uint16_t fieldHeight = MeasureFontHeight(resources.fieldFont);
  // The group's combo box sizes its edit part from its font by itself; the folder's edit box
  // grows to fit a taller font.
  SetControlFont(dialog, IDC_GROUP, resources.fieldFont);
  if (fieldHeight > dialogHeight) {
    HWND folder = GetDlgItem(dialog, IDC_FOLDER);
    RECT bounds;  // when GetWindowRect fails, there is no window for SetWindowPos to move either
    GetWindowRect(folder, &bounds);
    SetWindowPos(folder, nullptr, 0, 0, bounds.right - bounds.left, EditHeightFor(fieldHeight, systemHeight),
                 SWP_NOMOVE | SWP_NOZORDER);
  }
  SetControlFont(dialog, IDC_FOLDER, resources.fieldFont);
}

static void SetUpIcon(HWND dialog) {
  HICON icon = LoadIconA(programInstance, MAKEINTRESOURCEA(IDI_PROGRAM));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

// An installation, complete or begun, beside the running program makes its directory the folder,
// whatever the settings say: the uninstaller copy then always works on the installation it lives in.
static void ApplyOwnDirectoryRule() {
  if (!DirectoryHoldsInstallation(setup.ownPath, setup.ownDirLength)) return;
  setup.folder[0] = '\0';
  AppendTextPart(setup.folder, sizeof setup.folder, setup.ownPath, setup.ownDirLength);
}

static void ShowFolder() { SetControlText(IDC_FOLDER, setup.folder); }

void ReadStartState() {
  ReadGroupAndFolder();
  setup.allUsers = ReadSettingsInt("AllUsers", 0);
  ApplyArguments();
  ApplyOwnDirectoryRule();
  NormaliseFolder();
  ReadInstallationState();
}

static INT_PTR InitialiseDialog(HWND dialog) {
  shownOpenAvailable = -1;
  SetDialogWindow(dialog);
  uint16_t dialogHeight = SetUpFooterFont(dialog);
  SetUpFieldFont(dialog, dialogHeight);
  SetUpIcon(dialog);
  BuildColourScheme();
  ReadStartState();
  ShowFolder();
  SetUpFields(dialog);
  SetControlText(IDC_GROUP, setup.groupName);
  SetWindowTextA(dialog, SetupTitle);
  SetControlText(IDC_NOTICE, PublisherNotice);
  InitProgramGroups(GetDlgItem(dialog, IDC_GROUP));
  UpdateControlState();
  SetSetupChangeHandler(OnSetupChange);
  SetUpDragDrop(dialog);
  return TRUE;  // the dialog manager focuses the first tab stop
}

// Set only when it changes: under Wine a button repaints itself on every new text.
static void ShowExitOrOpen() {
  if (shownOpenAvailable == setup.openAvailable) return;
  shownOpenAvailable = setup.openAvailable;
  SetControlText(IDC_EXIT_OPEN, ExitOpenCaptions[shownOpenAvailable]);
}

static const char* StatusText() {
  if (setup.installed) return "Installed";
  return setup.partiallyInstalled ? "Partially Installed" : "Not Installed";
}

// Each control is set once to its final state: under Wine a button repaints itself inside
// EnableWindow, and switching the inputs on and off again kept the dialog from answering for
// tens of milliseconds at the end of an installation.
void UpdateControlState() {
  // Installing needs the program's own file as the source of the payload: a medium that has
  // gone, or another program holding the file, makes Install unavailable without a message.
  bool install = !setup.installedThisRun && setup.payloadPresent &&
                 (setup.installed || (FileIsPresent(setup.ownPath) && !setup.selfDeletePending));
  bool inputs = install && !setup.partiallyInstalled;
  EnableControl(IDC_INSTALL, install);
  for (int id : InputControls) EnableControl(id, inputs);
  UpdateSuggestedButton(inputs);
  EnableControl(IDC_UNINSTALL, setup.partiallyInstalled && !setup.installing);
  const char* status = StatusText();
  SetControlText(IDC_STATUS, status);
  WriteLogLine(status, nullptr);
  ShowExitOrOpen();
  // Right after an installation the caller gives the focus to "&Open" instead.
  if (!install && !setup.installedThisRun) FocusControl(IDC_UNINSTALL);
}

// Exit, Open, a started viewer and a failed start all end the installer.
static void OnExitOrOpen(HWND dialog) {
  if (setup.installing) {
    StopInstallation();
    return;
  }
  // A press that waited while the completion ran was a press of Exit: it ends the dialog of the
  // now installed publication instead of starting the viewer.
  bool pressedBeforeOpen = setup.installedThisRun && static_cast<LONG>(GetMessageTime() - completedAt) < 0;
  if (setup.openAvailable && !pressedBeforeOpen) {
    bool started = ComposeWorkPath(ViewerName) &&
                   StartProgram(setup.workPath, setup.folder, SW_SHOWNORMAL, NORMAL_PRIORITY_CLASS,
                                true);
    if (!started) ShowMessage("Launch failed", setup.workPath, MB_ICONWARNING | MB_OK);
    ResetWorkPath();
  }
  EndDialog(dialog, 0);
}

static void OnBrowse() {
  if (!BrowseForFolder(BrowseTitle, setup.folder, BrowseLimit)) return;
  NormaliseFolder();
  ShowFolder();
}

static void OnSuggested() {
  CopyText(setup.groupName, DefaultGroupName);
  SetControlText(IDC_GROUP, setup.groupName);
  FocusControl(IDC_GROUP);  // the field re-reads its text and disables Suggested on focus
}

// The posted step is command 1 without a control window. A press of Install while installing
// (possible until the first steps have run) is not a step: running steps for it would start a
// second chain of posted steps, whose last would arrive after the completion and install again.
// A press that waited while Install was disabled (during the completion) installs nothing.
static void OnInstallCommand(LPARAM lParam) {
  HWND button = reinterpret_cast<HWND>(lParam);
  if (setup.installing) {
    if (!button) RunInstallSteps();
  } else if (button && IsWindowEnabled(button)) {
    StartInstall();
  }
}

static INT_PTR OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
  int id = LOWORD(wParam);
  if (id == IDC_GROUP || id == IDC_FOLDER) {
    OnFieldCommand(dialog, wParam, lParam);
    return TRUE;
  }
  if (id == IDC_HINT_PANEL) {
    OnHintPanelCommand(wParam, lParam);
    return TRUE;
  }
  ShowHint(nullptr);
  switch (id) {
    case IDC_INSTALL: OnInstallCommand(lParam); break;
    case IDC_EXIT_OPEN: OnExitOrOpen(dialog); break;
    case IDC_BROWSE: OnBrowse(); break;
    case IDC_SUGGESTED: OnSuggested(); break;
    case IDC_UNINSTALL: RunUninstall(); break;
    default: break;
  }
  return TRUE;
}

// The progress texts of the hint panel while an installation runs.
static void ShowStepText(const char* action) {
  char status[64];
  CopyText(status, action);
  AppendText(status, setup.cursor->name);
  SetControlText(IDC_HINT_PANEL, status);
  WriteLogLine(status, nullptr);
}

void OnSetupChange(SetupChange change) {
  switch (change) {
    case KindFolderNormalised: ShowFolder(); break;
    case KindGroupRefused: FocusControl(IDC_GROUP); break;
    case KindFolderRefused: FocusControl(IDC_FOLDER); break;
    case KindInstallBegun: UpdateControlState(); break;
    case KindInstallUnderWay:
      // Exit takes the focus from Install before Install is disabled: a disabled control's focus
      // would go to nothing.
      FocusControl(IDC_EXIT_OPEN);
      EnableControl(IDC_INSTALL, false);
      break;
    case KindFileBegun: ShowStepText("Copying  "); break;
    case KindVerifyBegun: ShowStepText("Verifying integrity of  "); break;
    case KindInstallStopped:
      UpdateControlState();
      FocusControl(IDC_UNINSTALL);
      break;
    case KindInstallDone:
      completedAt = GetTickCount();
      ShowArrowCursor();
      UpdateControlState();
      FocusControl(IDC_EXIT_OPEN);
      break;
    case KindUninstallEnded:
      UpdateControlState();
      FocusControl(setup.partiallyInstalled ? IDC_UNINSTALL : IDC_EXIT_OPEN);
      break;
  }
}

// The focus frame is drawn over the controls, so it is redrawn after the painting has wiped it.
static INT_PTR OnPaint(HWND dialog) {
  PostMessageA(dialog, RedrawFrameMessage, 0, 0);
  return FALSE;
}

// The close box ends the installer in every state, also during an installation.
static INT_PTR OnClose(HWND dialog) {
  EndDialog(dialog, 0);
  return TRUE;
}

static INT_PTR OnDrawItem(LPARAM lParam) {
  DrawProgressMeter(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  return TRUE;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return InitialiseDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, wParam, lParam);
    case WM_PAINT: return OnPaint(dialog);
    case WM_CLOSE: return OnClose(dialog);
    case WM_DRAWITEM: return OnDrawItem(lParam);
    case WM_SYSCOLORCHANGE: return OnSysColourChange(dialog, wParam, lParam);
    case WM_ACTIVATEAPP: return OnActivateApp(dialog, wParam, lParam);
    case WM_SETCURSOR: return OnSetCursor(dialog, wParam, lParam);
    case WM_TIMER: return OnHintTimer(dialog, wParam, lParam);
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return OnControlColour(dialog, wParam, lParam);
    case RedrawFrameMessage: return OnRedrawFrame(dialog, wParam, lParam);
    case WM_LBUTTONDOWN: return OnLabelClick(dialog, wParam, lParam);
    default: return FALSE;
  }
}

void ReleaseDialogFonts() {
  DeleteObject(resources.fieldFont);
  DeleteObject(resources.footerFont);
  resources.fieldFont = nullptr;
  resources.footerFont = nullptr;
}
