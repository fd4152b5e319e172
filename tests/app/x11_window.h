// Talks to a demo's window the way a window manager or a user would: finds it by its process id
// and title, sends it the close request (WM_DELETE_WINDOW) and key presses.
#pragma once

#include <sys/types.h>

#include <string>

namespace tc::test {

class X11Window {
 public:
  X11Window();
  ~X11Window();
  bool connected() const { return display_ != nullptr; }
  // Waits up to `seconds` for a window titled `title` that belongs to process `pid`.
  bool Find(pid_t pid, const std::string& title, double seconds);
  // The window manager's close request, as the close button sends it.
  void RequestClose();
  // A press and release of the Escape key, delivered to the window.
  void PressEscape();
  unsigned long id() const { return window_; }

 private:
  void* display_ = nullptr;  // Display*
  unsigned long window_ = 0;
};

}  // namespace tc::test
