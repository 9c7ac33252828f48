// The sample viewer Kavri.exe that the installer carries: one window titled "Quorvel" showing the
// publication's title, the sizes of its data files in the current directory, the current
// directory (control 101) and the command line (control 102), which the end-to-end tests read.
#include <windows.h>
#include <cstdio>

namespace {

enum ControlId {
  IdTitle = 100,
  IdCurrentDirectory = 101,
  IdCommandLine = 102,
  IdPagesSize = 103,
  IdIndexSize = 104,
  IdDirectoryLabel = 105,
  IdCommandLineLabel = 106,
};

const char ClassName[] = "QuorvelViewer";
const char WindowTitle[] = "Quorvel";

HFONT messageFont;

void AddLabel(HWND window, int id, const char* text, int y, int height) {
  HWND label = CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12, y, 460, height,
                               window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  if (label && messageFont) SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(messageFont), FALSE);
}

// "Kavri1.DAT: 76398 bytes", or that the file is not in the current directory.
void DescribeDataFile(const char* name, char* text, size_t size) {
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    snprintf(text, size, "%s: not found in the current directory", name);
    return;
  }
  DWORD length = GetFileSize(file, nullptr);
  CloseHandle(file);
  snprintf(text, size, "%s: %lu bytes", name, static_cast<unsigned long>(length));
}

void CreateControls(HWND window) {
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    messageFont = CreateFontIndirectA(&metrics.lfMessageFont);

  char text[MAX_PATH + 64];
  AddLabel(window, IdTitle, "Quorvel - sample publication", 12, 20);
  DescribeDataFile("Kavri1.DAT", text, sizeof text);
  AddLabel(window, IdPagesSize, text, 40, 18);
  DescribeDataFile("Kavri0.DAT", text, sizeof text);
  AddLabel(window, IdIndexSize, text, 60, 18);

  AddLabel(window, IdDirectoryLabel, "Current directory:", 88, 18);
  char directory[MAX_PATH + 1] = "";
  DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
  if (length == 0 || length >= sizeof directory) directory[0] = '\0';
  AddLabel(window, IdCurrentDirectory, directory, 106, 36);

  AddLabel(window, IdCommandLineLabel, "Command line:", 148, 18);
  AddLabel(window, IdCommandLine, GetCommandLineA(), 166, 36);
}

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls(window);
      return 0;
    case WM_DESTROY:
      if (messageFont) DeleteObject(messageFont);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ViewerProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = ClassName;
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowExA(0, ClassName, WindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 500,
                                250, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
