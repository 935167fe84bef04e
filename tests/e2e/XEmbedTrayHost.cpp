// A minimal XEmbed system tray for the end-to-end tests: owns the
// _NET_SYSTEM_TRAY_S0 selection, announces itself, embeds the windows that ask
// to dock (so the pointer can reach them) and reports "docked 0x..." when one is
// shown and "gone 0x..." when it is destroyed (GTK docks a second icon when it
// re-realizes the first). Stays until its stdin closes; exits 1 if no icon is
// shown within the given seconds.

#include <X11/Xlib.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>

namespace {

// A window that asks to dock may be gone before it is embedded.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// Reparents and maps the icon and sends XEMBED_EMBEDDED_NOTIFY, as a tray does.
void embed(Display* display, Window tray, Window icon) {
    XSelectInput(display, icon, StructureNotifyMask);
    XAddToSaveSet(display, icon); // back to the root window, not destroyed, when we exit
    XReparentWindow(display, icon, tray, 0, 0);
    XResizeWindow(display, icon, 40, 40);
    XMapWindow(display, icon);
    XEvent notify{};
    notify.xclient.type = ClientMessage;
    notify.xclient.window = icon;
    notify.xclient.message_type = XInternAtom(display, "_XEMBED", False);
    notify.xclient.format = 32;
    notify.xclient.data.l[0] = CurrentTime;
    notify.xclient.data.l[1] = 0; // XEMBED_EMBEDDED_NOTIFY
    notify.xclient.data.l[3] = static_cast<long>(tray);
    XSendEvent(display, icon, False, NoEventMask, &notify);
    XFlush(display);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    XSetErrorHandler(&ignoreErrors);
    const Window root = DefaultRootWindow(display);
    const Window tray = XCreateSimpleWindow(display, root, 0, 0, 200, 40, 0, 0, 0);
    XMapWindow(display, tray);
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    const Atom opcode = XInternAtom(display, "_NET_SYSTEM_TRAY_OPCODE", False);
    const Atom manager = XInternAtom(display, "MANAGER", False);
    XSetSelectionOwner(display, selection, tray, CurrentTime);
    if (XGetSelectionOwner(display, selection) != tray) {
        std::fprintf(stderr, "could not own the tray selection\n");
        return 2;
    }
    XEvent announce{};
    announce.xclient.type = ClientMessage;
    announce.xclient.window = root;
    announce.xclient.message_type = manager;
    announce.xclient.format = 32;
    announce.xclient.data.l[0] = CurrentTime;
    announce.xclient.data.l[1] = static_cast<long>(selection);
    announce.xclient.data.l[2] = static_cast<long>(tray);
    XSendEvent(display, root, False, StructureNotifyMask, &announce);
    XFlush(display);
    std::printf("tray ready\n");
    std::fflush(stdout);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool shown = false;
    pollfd watched[2] = {{ConnectionNumber(display), POLLIN, 0}, {0, POLLIN, 0}};
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            // SYSTEM_TRAY_REQUEST_DOCK is opcode 0; data.l[2] is the icon's window.
            if (event.type == ClientMessage && event.xclient.message_type == opcode &&
                event.xclient.data.l[1] == 0) {
                embed(display, tray, static_cast<Window>(event.xclient.data.l[2]));
            } else if (event.type == MapNotify && event.xmap.window != tray) {
                shown = true;
                std::printf("docked 0x%lx\n", static_cast<unsigned long>(event.xmap.window));
            } else if (event.type == DestroyNotify) {
                std::printf("gone 0x%lx\n",
                            static_cast<unsigned long>(event.xdestroywindow.window));
            }
            std::fflush(stdout);
        }
        poll(watched, shown ? 2 : 1, 100);
        if (watched[1].revents != 0) {
            return 0; // the test is done with us
        }
    }
    std::printf("no dock request\n");
    return 1;
}
