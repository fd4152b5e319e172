// The presentation window on Win32: a borderless W x H popup at the screen origin, registered and
// created with the narrow (ANSI) calls. Its window procedure turns a close request or the Escape
// key into the run's quit request and refuses the screen-saver and monitor-power commands.
// Twin: window_sdl.cpp.
#include "app/window.h"

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

}  // namespace

StartupStatus CreatePresentationWindow(Resolution resolution, WindowHandle& window) {
  window = nullptr;
  gQuitRequested = false;
  const HINSTANCE instance = GetModuleHandleW(nullptr);

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
  RECT rect = {0, 0, resolution.width, resolution.height};
  AdjustWindowRectEx(&rect, kWindowStyle, FALSE, kWindowExStyle);

  window = CreateWindowExA(kWindowExStyle, kWindowClassName, kWindowTitle, kWindowStyle, 0, 0,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                           instance, nullptr);
  if (window == nullptr) {
    return StartupFailure(
        "CreatePresentationWindow: CreateWindowExA %dx%d failed (error %lu; is a display there?)",
        resolution.width, resolution.height, GetLastError());
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

void DestroyPresentationWindow(WindowHandle window) {
  // Fails without effect when WM_CLOSE's default processing already destroyed the window.
  DestroyWindow(window);
  UnregisterClassA(kWindowClassName, GetModuleHandleW(nullptr));
}

}  // namespace tc
