#include "x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>

namespace tc::test {
namespace {

Display* AsDisplay(void* d) {
  return static_cast<Display*>(d);
}

bool WindowPid(Display* display, Window window, pid_t* pid) {
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
  if (pidAtom == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                         &remaining, &data) != Success) {
    return false;
  }
  const bool found = data != nullptr && count == 1 && format == 32;
  if (found) *pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
  if (data != nullptr) XFree(data);
  return found;
}

Window Search(Display* display, Window window, pid_t pid, const std::string& title) {
  char* name = nullptr;
  pid_t owner = 0;
  if (XFetchName(display, window, &name) != 0 && name != nullptr) {
    const bool match = title == name && WindowPid(display, window, &owner) && owner == pid;
    XFree(name);
    if (match) return window;
  }
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
    for (unsigned int i = 0; i < count && found == 0; ++i) {
      found = Search(display, children[i], pid, title);
    }
    if (children != nullptr) XFree(children);
  }
  return found;
}

// Other tests run their own windows on the same display, and one may close between the moment the
// search lists it and the moment it asks for its name: the request then fails, which the search
// takes as "not this one". Xlib's default handler would end the whole test process instead.
int IgnoreVanishedWindows(Display* /*display*/, XErrorEvent* /*error*/) {
  return 0;
}

}  // namespace

X11Window::X11Window() {
  XSetErrorHandler(IgnoreVanishedWindows);
  display_ = XOpenDisplay(nullptr);
}

X11Window::~X11Window() {
  if (display_ != nullptr) XCloseDisplay(AsDisplay(display_));
}

bool X11Window::Find(pid_t pid, const std::string& title, double seconds) {
  if (display_ == nullptr) return false;
  Display* display = AsDisplay(display_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    window_ = Search(display, DefaultRootWindow(display), pid, title);
    if (window_ != 0) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display, window_, &attributes) != 0 &&
          attributes.map_state == IsViewable) {
        return true;
      }
    }
    usleep(20000);
  }
  return false;
}

void X11Window::RequestClose() {
  Display* display = AsDisplay(display_);
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window_;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window_, False, NoEventMask, &event);
  XFlush(display);
}

void X11Window::PressEscape() {
  Display* display = AsDisplay(display_);
  XEvent event = {};
  event.xkey.display = display;
  event.xkey.window = window_;
  event.xkey.root = DefaultRootWindow(display);
  event.xkey.subwindow = None;
  event.xkey.time = CurrentTime;
  event.xkey.same_screen = True;
  event.xkey.keycode = XKeysymToKeycode(display, XK_Escape);
  event.type = KeyPress;
  XSendEvent(display, window_, True, KeyPressMask, &event);
  event.type = KeyRelease;
  XSendEvent(display, window_, True, KeyReleaseMask, &event);
  XFlush(display);
}

}  // namespace tc::test
