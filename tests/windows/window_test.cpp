// Tests of the Win32 presentation window: its shape and place, and what its window procedure does
// with close requests, keys and the screen-saver and monitor-power commands.
#include <string>

#include "base/window.h"
#include "tests/windows/harness.h"

namespace tc::wintest {
namespace {

constexpr Resolution k720 = {1280, 720};
constexpr Resolution k1080 = {1920, 1080};

// A window for one case. QuitRequested() pumps what is queued, as the frame loop does, and
// reports whether the run would end.
struct TestWindow {
  WindowHandle handle = nullptr;
  explicit TestWindow(Resolution resolution = k720) {
    const StartupStatus status = CreatePresentationWindow(resolution, handle);
    if (!status.ok) std::printf("  %s\n", status.message);
  }
  bool QuitRequested() { return PumpWindowEvents(); }
  ~TestWindow() {
    if (handle != nullptr) DestroyPresentationWindow(handle);
  }
  LRESULT Send(UINT message, WPARAM wParam) { return SendMessageA(handle, message, wParam, 0); }
};

void CoversTopLeftAtBuildSize(Resolution resolution) {
  TestWindow w(resolution);
  if (w.handle == nullptr) return TC_FAIL("no window");
  RECT outer;
  GetWindowRect(w.handle, &outer);
  TC_CHECK_MSG(outer.left == 0 && outer.top == 0 && outer.right == resolution.width &&
                   outer.bottom == resolution.height,
               "window rectangle is (%ld, %ld)-(%ld, %ld)", outer.left, outer.top, outer.right,
               outer.bottom);
  RECT client;
  GetClientRect(w.handle, &client);
  TC_CHECK(client.right == resolution.width && client.bottom == resolution.height);
  const LONG_PTR style = GetWindowLongPtrA(w.handle, GWL_STYLE);
  TC_CHECK((style & (WS_POPUP | WS_VISIBLE)) == (WS_POPUP | WS_VISIBLE));
  TC_CHECK((style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU)) == 0);
  TC_CHECK((GetWindowLongPtrA(w.handle, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0);
  char text[64] = {};
  GetWindowTextA(w.handle, text, sizeof text);
  TC_CHECK(std::string(text) == "Tumblecrate");
  char className[64] = {};
  GetClassNameA(w.handle, className, sizeof className);
  TC_CHECK(std::string(className) == "ZephyrineWindowClass");
}

void EscapeRequestsQuitOtherKeysDoNot() {
  TestWindow w;
  if (w.handle == nullptr) return TC_FAIL("no window");
  w.Send(WM_KEYDOWN, 'A');
  w.Send(WM_KEYDOWN, VK_SPACE);
  TC_CHECK(!w.QuitRequested());
  w.Send(WM_KEYDOWN, VK_ESCAPE);
  TC_CHECK(w.QuitRequested());
  w.Send(WM_KEYDOWN, VK_ESCAPE);  // a second Escape changes nothing
  TC_CHECK(w.QuitRequested());
  TC_CHECK(IsWindow(w.handle));
}

void QueuedEscapeReachesTheProcedureThroughThePump() {
  TestWindow w;
  if (w.handle == nullptr) return TC_FAIL("no window");
  TC_CHECK(!w.QuitRequested());
  PostMessageA(w.handle, WM_KEYDOWN, VK_ESCAPE, 0);
  TC_CHECK(PumpWindowEvents());
}

// The quit request is recorded from the moment the window exists: a close request that arrives
// before the frame loop's first pump still ends the run.
void CloseBeforeTheFirstPumpEndsTheRun() {
  TestWindow w;
  if (w.handle == nullptr) return TC_FAIL("no window");
  w.Send(WM_CLOSE, 0);
  TC_CHECK(w.QuitRequested());
}

// Each window starts without a quit request, whatever the one before it received.
void ANewWindowStartsWithoutAQuitRequest() {
  {
    TestWindow first;
    first.Send(WM_KEYDOWN, VK_ESCAPE);
    TC_CHECK(first.QuitRequested());
  }
  TestWindow second;
  if (second.handle == nullptr) return TC_FAIL("no window");
  TC_CHECK(!second.QuitRequested());
}

void CloseRequestsQuitAndDestroysTheWindow() {
  TestWindow w;
  if (w.handle == nullptr) return TC_FAIL("no window");
  w.Send(WM_CLOSE, 0);
  TC_CHECK(w.QuitRequested());
  // Passed on to the default processing, which destroys the window at once.
  TC_CHECK(!IsWindow(w.handle));
  // Shutdown's DestroyWindow on the stale handle is harmless and the class is still unregistered:
  // a new window can be made afterwards.
  DestroyPresentationWindow(w.handle);
  w.handle = nullptr;
  TestWindow again;
  TC_CHECK(again.handle != nullptr);
}

void ScreenSaverAndMonitorPowerAreRefused() {
  TestWindow w;
  if (w.handle == nullptr) return TC_FAIL("no window");
  TC_CHECK(w.Send(WM_SYSCOMMAND, SC_SCREENSAVE) == 0);
  TC_CHECK(w.Send(WM_SYSCOMMAND, SC_MONITORPOWER) == 0);
  TC_CHECK(!w.QuitRequested());
  TC_CHECK(IsWindow(w.handle));
}

// Commands other than the two refused ones reach the default processing, which compares only the
// high twelve bits: SC_CLOSE with a low bit set still closes the window.
void OtherSystemCommandsArePassedOn() {
  TestWindow w;
  if (w.handle == nullptr) return TC_FAIL("no window");
  w.Send(WM_SYSCOMMAND, SC_CLOSE | 1);
  TC_CHECK(w.QuitRequested());
  TC_CHECK(!IsWindow(w.handle));
}

}  // namespace
}  // namespace tc::wintest

int main() {
  using namespace tc::wintest;
  Suite suite;
  suite.Case("1280x720 window covers the top-left corner", [] { CoversTopLeftAtBuildSize(k720); });
  suite.Case("1920x1080 window covers the top-left corner",
             [] { CoversTopLeftAtBuildSize(k1080); });
  suite.Case("Escape requests quit, other keys do not", EscapeRequestsQuitOtherKeysDoNot);
  suite.Case("queued Escape reaches the procedure through the pump",
             QueuedEscapeReachesTheProcedureThroughThePump);
  suite.Case("close requests quit and destroys the window", CloseRequestsQuitAndDestroysTheWindow);
  suite.Case("a close before the first pump ends the run", CloseBeforeTheFirstPumpEndsTheRun);
  suite.Case("a new window starts without a quit request", ANewWindowStartsWithoutAQuitRequest);
  suite.Case("screen saver and monitor power are refused", ScreenSaverAndMonitorPowerAreRefused);
  suite.Case("other system commands are passed on", OtherSystemCommandsArePassedOn);
  return suite.Finish("window tests");
}
