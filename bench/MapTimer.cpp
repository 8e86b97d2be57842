// Times how long a program takes to show its window on the X display: starts it and waits for the
// first top-level window it maps, then until that window is painted (no pixel of the root
// window's colour is left inside it; the root is painted magenta first, so what the program has
// not drawn yet shows). Optionally waits a while more and reads the program's resident memory.
// Then ends the program.
//
//   velmorix-bench-maptimer [--rss SECONDS] [--shot FILE.ppm] PROGRAM [ARGS...]
//
// --shot keeps the first fully painted frame as a PPM picture, to see what it showed.
// Prints one line: "map SECONDS paint SECONDS size WIDTHxHEIGHT" (the client window's size; with
// a window manager, its frame is what gets mapped), and " rss KIB" when asked. Exits 1 when no
// window came within 20 seconds.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr unsigned long kMagenta = 0xFF00FF;
constexpr double kGiveUpSeconds = 20.0;

double Now()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

bool HasProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type, &format, &items, &after, &data);
    if (data)
        XFree(data);
    return type != None;
}

// The window in `top`'s tree that carries WM_STATE (the client a window manager framed), or 0.
Window ClientIn(Display* display, Window top, Atom wmState)
{
    if (HasProperty(display, top, wmState))
        return top;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, top, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i)
            found = ClientIn(display, children[i], wmState);
        if (children)
            XFree(children);
    }
    return found;
}

// Pixels of the root's colour inside the rectangle, as the screen shows it now; with `shot`, the
// rectangle is written there as a PPM picture when no such pixel is left.
long Unpainted(Display* display, Window root, int x, int y, unsigned width, unsigned height, const char* shot)
{
    XImage* image = XGetImage(display, root, x, y, width, height, AllPlanes, ZPixmap);
    if (!image)
        return -1;
    long count = 0;
    for (unsigned row = 0; row < height; ++row)
        for (unsigned column = 0; column < width; ++column)
            if ((XGetPixel(image, int(column), int(row)) & 0xFFFFFF) == kMagenta)
                ++count;
    if (count == 0 && shot) {
        if (FILE* out = std::fopen(shot, "wb")) {
            std::fprintf(out, "P6\n%u %u\n255\n", width, height);
            for (unsigned row = 0; row < height; ++row)
                for (unsigned column = 0; column < width; ++column) {
                    const unsigned long pixel = XGetPixel(image, int(column), int(row));
                    const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                                  static_cast<unsigned char>(pixel >> 8), static_cast<unsigned char>(pixel)};
                    std::fwrite(rgb, 1, 3, out);
                }
            std::fclose(out);
        }
    }
    XDestroyImage(image);
    return count;
}

long ResidentKib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

void End(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    int first = 1;
    double rssAfter = -1;
    const char* shot = nullptr;
    while (first + 1 < argc && argv[first][0] == '-') {
        if (!std::strcmp(argv[first], "--rss"))
            rssAfter = std::atof(argv[first + 1]);
        else if (!std::strcmp(argv[first], "--shot"))
            shot = argv[first + 1];
        else
            break;
        first += 2;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: velmorix-bench-maptimer [--rss SECONDS] [--shot FILE.ppm] PROGRAM [ARGS...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "velmorix-bench-maptimer: cannot open the display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    XSetWindowBackground(display, root, kMagenta);
    XClearWindow(display, root);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);

    const double start = Now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }
    Window mapped = 0;
    double mapTime = -1;
    while (!mapped && Now() - start < kGiveUpSeconds) {
        if (!XPending(display)) {
            pollfd watch {ConnectionNumber(display), POLLIN, 0};
            poll(&watch, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && !event.xmap.override_redirect) {
            XWindowAttributes attributes {};
            if (XGetWindowAttributes(display, event.xmap.window, &attributes) && attributes.width >= 100) {
                mapTime = Now() - start;
                mapped = event.xmap.window;
            }
        }
    }
    if (!mapped) {
        std::fprintf(stderr, "velmorix-bench-maptimer: %s mapped no window\n", argv[first]);
        End(pid);
        return 1;
    }
    XWindowAttributes frame {};
    XGetWindowAttributes(display, mapped, &frame);
    double paintTime = -1;
    while (Now() - start < kGiveUpSeconds) {
        XGetWindowAttributes(display, mapped, &frame);
        const long left = Unpainted(display, root, frame.x, frame.y, unsigned(frame.width), unsigned(frame.height), shot);
        if (left == 0) {
            paintTime = Now() - start;
            break;
        }
        usleep(2000);
    }
    XWindowAttributes client {};
    const Window framed = ClientIn(display, mapped, wmState);
    XGetWindowAttributes(display, framed ? framed : mapped, &client);
    std::printf("map %.4f paint %.4f size %dx%d", mapTime, paintTime, client.width, client.height);
    if (rssAfter >= 0) {
        usleep(useconds_t(rssAfter * 1e6));
        std::printf(" rss %ld", ResidentKib(pid));
    }
    std::printf("\n");
    End(pid);
    XCloseDisplay(display);
    return paintTime < 0 ? 1 : 0;
}
