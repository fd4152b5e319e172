// The presentation window on Win32: a borderless W x H popup at the screen origin (or at another
// monitor's origin, or covering a whole monitor), registered and created with the narrow (ANSI)
// calls. Its window procedure turns a close request or the Escape
// key into the run's quit request and refuses the screen-saver and monitor-power commands.
// Twin: window_sdl.cpp.
#include "base/window.h"

namespace tc {
namespace {

constexpr char kWindowClassName[] = "ZephyrineWindowClass";
constexpr char kWindowTitle[] = "Tumblecrate";
constexpr DWORD kWindowStyle = WS_POPUP | WS_VISIBLE;
constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW;

// Windows calls the procedure with a fixed signature, so the quit request it records lives here.
// It is cleared before the window exists, so a close request delivered while the window is being
// created (or anywhere in start-up) ends the run like any other. Only goes from false to true.
bool gQuitRequested = false;

void RequestQuit() {
  gQuitRequested = true;
}

LRESULT CALLBACK PresentationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // Still passed on: the default processing destroys the window at once, and shutdown's
      // DestroyWindow later acts on a handle that is already gone, which is harmless.
      RequestQuit();
      break;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) RequestQuit();
      break;
    case WM_SYSCOMMAND:
      // The whole wParam is compared, low four bits included: only the exact commands are
      // refused, and they never reach the default processing.
      if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) return 0;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Monitors in the order the options number them: the primary first, then the others as the
// system lists them.
struct MonitorSearch {
  int wanted;
  int seen;
  bool primaryPass;
  RECT bounds;
  bool found;
};

BOOL CALLBACK VisitMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MonitorSearch& search = *reinterpret_cast<MonitorSearch*>(data);
  MONITORINFO info;
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const bool primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  if (primary != search.primaryPass) return TRUE;
  if (search.seen == search.wanted) {
    search.bounds = info.rcMonitor;
    search.found = true;
    return FALSE;
  }
  ++search.seen;
  return TRUE;
}

// The whole area of monitor `index` in virtual-screen pixels; false when there is no such monitor.
bool MonitorBounds(int index, RECT& bounds, int& count) {
  MonitorSearch search = {index, 0, true, {}, false};
  EnumDisplayMonitors(nullptr, nullptr, VisitMonitor, reinterpret_cast<LPARAM>(&search));
  if (!search.found) {
    search.primaryPass = false;
    EnumDisplayMonitors(nullptr, nullptr, VisitMonitor, reinterpret_cast<LPARAM>(&search));
  }
  count = search.seen + (search.found ? 1 : 0);
  bounds = search.bounds;
  return search.found;
}

// Without this the system scales a window on a high-DPI monitor and reports scaled sizes, so a
// full-screen picture would be drawn small and stretched. The per-monitor call exists from
// Windows 10 1703; older systems get the system-wide one.
void DeclareDpiAware() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto setContext = user32 != nullptr
                              ? reinterpret_cast<SetContext>(reinterpret_cast<void*>(
                                    GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                              : nullptr;
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  if (setContext != nullptr && setContext(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4)))) {
    return;
  }
  SetProcessDPIAware();
}

}  // namespace

StartupStatus CheckDisplayIndex(int display) {
  if (display == 0) return StartupOk();
  RECT bounds;
  int count = 0;
  if (!MonitorBounds(display, bounds, count)) {
    return StartupFailure("option --display: no display %d (there are %d: 0 to %d)", display, count,
                          count - 1);
  }
  return StartupOk();
}

StartupStatus CreatePresentationWindow(Resolution resolution, const WindowPlacement& placement,
                                       WindowHandle& window) {
  window = nullptr;
  gQuitRequested = false;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  // The designed window sits at the screen origin; another monitor puts it at that monitor's
  // origin, and a full-screen window is a popup over the monitor's whole area (no mode change).
  int x = 0;
  int y = 0;
  int width = resolution.width;
  int height = resolution.height;
  if (placement.fullscreen || placement.display != 0) {
    DeclareDpiAware();
    RECT bounds;
    int count = 0;
    if (!MonitorBounds(placement.display, bounds, count)) {
      return StartupFailure("CreatePresentationWindow: no display %d (there are %d)",
                            placement.display, count);
    }
    x = bounds.left;
    y = bounds.top;
    if (placement.fullscreen) {
      width = bounds.right - bounds.left;
      height = bounds.bottom - bounds.top;
    }
  }

  WNDCLASSA windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = PresentationWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = nullptr;
  // IDC_ARROW is an integer resource id; the narrow headers spell it as a char pointer.
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = nullptr;
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kWindowClassName;
  if (RegisterClassA(&windowClass) == 0) {
    return StartupFailure("CreatePresentationWindow: RegisterClassA(\"%s\") failed (error %lu)",
                          kWindowClassName, GetLastError());
  }

  // For a popup without a menu the adjusted rectangle is the client rectangle itself.
  RECT rect = {0, 0, width, height};
  AdjustWindowRectEx(&rect, kWindowStyle, FALSE, kWindowExStyle);

  window = CreateWindowExA(kWindowExStyle, kWindowClassName, kWindowTitle, kWindowStyle, x, y,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                           instance, nullptr);
  if (window == nullptr) {
    return StartupFailure(
        "CreatePresentationWindow: CreateWindowExA %dx%d failed (error %lu; is a display there?)",
        width, height, GetLastError());
  }
  return StartupOk();
}

bool PumpWindowEvents() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return gQuitRequested;
}

void GetWindowDrawableSize(WindowHandle window, int& width, int& height) {
  RECT client;
  if (GetClientRect(window, &client)) {
    width = client.right - client.left;
    height = client.bottom - client.top;
  } else {
    width = 0;
    height = 0;
  }
}

// PresentWindow has no Win32 definition: Direct3D 11 presents through its device's swap chain.

void DestroyPresentationWindow(WindowHandle window) {
  // Fails without effect when WM_CLOSE's default processing already destroyed the window.
  DestroyWindow(window);
  UnregisterClassA(kWindowClassName, GetModuleHandleW(nullptr));
}

}  // namespace tc
