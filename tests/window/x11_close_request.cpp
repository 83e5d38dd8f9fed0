// Sends a window the close request that a window manager's close box sends:
// a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW. With "fullscreen"
// after the window, sends instead the request of a pager or a key binding to
// make the window full screen: a _NET_WM_STATE client message to the root.
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char* argv[])
{
    if (argc != 2 && !(argc == 3 && std::strcmp(argv[2], "fullscreen") == 0)) return 2;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    const Window window = std::strtoul(argv[1], nullptr, 0);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.format = 32;
    if (argc == 2) {
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
    } else {
        constexpr long kAdd = 1;
        constexpr long kFromApplication = 1;
        event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
        event.xclient.data.l[0] = kAdd;
        event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False));
        event.xclient.data.l[3] = kFromApplication;
        XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    }
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
