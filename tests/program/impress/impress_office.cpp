#include "impress_office.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// First start without dialogs: no tip of the day, no "what's new" bar, no crash recovery (the
// tests kill the office, and the next start would ask what to recover).
constexpr const char* kProfile = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Setup/Product"><prop oor:name="ooSetupLastVersion" oor:op="fuse"><value>7.4</value></prop></item>
<item oor:path="/org.openoffice.Office.Recovery/RecoveryInfo"><prop oor:name="Enabled" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Recovery/AutoSave"><prop oor:name="Enabled" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)";

// A flat OpenDocument presentation: five empty 16:9 slides, each filled with its colour.
std::string Deck() {
    std::string styles, pages;
    for (size_t i = 0; i < kSlideColours.size(); ++i) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06x", kSlideColours[i]);
        std::string n = std::to_string(i + 1);
        styles += "<style:style style:name=\"dp" + n +
                  "\" style:family=\"drawing-page\"><style:drawing-page-properties "
                  "draw:background-size=\"full\" draw:fill=\"solid\" draw:fill-color=\"" +
                  colour + "\"/></style:style>";
        pages += "<draw:page draw:name=\"Slide " + n + "\" draw:style-name=\"dp" + n +
                 "\" draw:master-page-name=\"Default\"/>";
    }
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.presentation">
<office:automatic-styles><style:page-layout style:name="PM1"><style:page-layout-properties fo:margin-top="0cm" fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm" fo:page-width="28cm" fo:page-height="15.75cm" style:print-orientation="landscape"/></style:page-layout>)" +
           styles + R"(</office:automatic-styles>
<office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/></office:master-styles>
<office:body><office:presentation>)" +
           pages + R"(</office:presentation></office:body></office:document>
)";
}

}  // namespace

bool ImpressInstalled() {
    return access((std::string(kOfficeProgramDir) + "/soffice").c_str(), X_OK) == 0 &&
           access((std::string(kOfficeProgramDir) + "/libslideshowlo.so").c_str(), F_OK) == 0;
}

std::string PrepareHome(const std::string& home, const std::string& folder) {
    WriteFile(home + "/.config/libreoffice/4/user/registrymodifications.xcu", kProfile);
    std::string deck = folder + "/deck.fodp";
    WriteFile(deck, Deck());
    return deck;
}

bool ImpressProcess::Start(const std::string& ns, const std::string& home,
                           const std::string& display, const std::string& deck) {
    std::filesystem::path path(deck);
    std::string folder = path.parent_path().string();
    std::vector<std::string> args = {
        "/usr/sbin/ip",       "netns",   "exec",         ns,
        "/usr/bin/env",       "-i",      "HOME=" + home, "DISPLAY=" + display,
        "PATH=/usr/bin:/bin", "soffice", "--impress",    path.filename().string()};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string log = folder + "/office.log";
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        setpgid(0, 0);
        if (chdir(folder.c_str()) != 0) _exit(126);
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(out, 1);
        dup2(out, 2);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        execv(argv[0], argv.data());
        _exit(127);
    }
    setpgid(pid, pid);  // also from here, so that Kill never races the child's own call
    group_ = pid;
    return true;
}

void ImpressProcess::Kill() {
    if (group_ <= 0) return;
    kill(-group_, SIGKILL);
    int status = 0;
    waitpid(group_, &status, 0);
    group_ = -1;
}

void ImpressProcess::Freeze(bool frozen) {
    if (group_ > 0) kill(-group_, frozen ? SIGSTOP : SIGCONT);
}

namespace {

// Calls `each(pid, home)` for every office process, with its HOME.
void ForEachOffice(const std::function<void(pid_t, const std::string&)>& each) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return;
    while (dirent* entry = readdir(proc)) {
        std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string comm = ReadAll("/proc/" + pid + "/comm");
        if (comm.rfind("soffice", 0) != 0 && comm.rfind("oosplash", 0) != 0) continue;
        std::string environment = ReadAll("/proc/" + pid + "/environ");
        size_t at = environment.find("HOME=");
        while (at != std::string::npos && at != 0 && environment[at - 1] != '\0') {
            at = environment.find("HOME=", at + 1);
        }
        if (at == std::string::npos) continue;
        size_t end = environment.find('\0', at);
        each(static_cast<pid_t>(std::stol(pid)), environment.substr(at + 5, end - at - 5));
    }
    closedir(proc);
}

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

}  // namespace

bool OfficeRunsFor(const std::string& home) {
    bool found = false;
    ForEachOffice([&](pid_t, const std::string& officeHome) { found |= officeHome == home; });
    return found;
}

void EndOrphanedOffices(const std::string& prefix) {
    ForEachOffice([&](pid_t pid, const std::string& home) {
        if (home.rfind(prefix, 0) != 0) return;
        long owner = std::strtol(home.c_str() + prefix.size(), nullptr, 10);
        if (owner > 0 && owner != getpid() && kill(static_cast<pid_t>(owner), 0) != 0 &&
            errno == ESRCH) {
            kill(pid, SIGKILL);
        }
    });
}

ScreenReader::ScreenReader(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    XSetErrorHandler(&IgnoreXError);
}

ScreenReader::~ScreenReader() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

int ScreenReader::width() const { return DisplayWidth(display_, DefaultScreen(display_)); }
int ScreenReader::height() const { return DisplayHeight(display_, DefaultScreen(display_)); }

Window ScreenReader::FindWindow(const std::string& name) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
        return 0;
    }
    for (unsigned i = 0; i < count && found == 0; ++i) {
        char* title = nullptr;
        if (XFetchName(display_, children[i], &title) && title != nullptr) {
            if (name == title) found = children[i];
            XFree(title);
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

std::uint32_t ScreenReader::Pixel(int x, int y) {
    XImage* image =
        XGetImage(display_, DefaultRootWindow(display_), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xFFFFFFFF;
    std::uint32_t pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

int ScreenReader::CountColour(std::uint32_t colour, int tolerance, int step) {
    XImage* image =
        XGetImage(display_, DefaultRootWindow(display_), 0, 0, static_cast<unsigned>(width()),
                  static_cast<unsigned>(height()), AllPlanes, ZPixmap);
    if (image == nullptr) return 0;
    int count = 0;
    for (int y = 0; y < image->height; y += step) {
        for (int x = 0; x < image->width; x += step) {
            std::uint32_t pixel = static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
            if (Near(pixel, colour, tolerance)) ++count;
        }
    }
    XDestroyImage(image);
    return count;
}

std::uint64_t ScreenReader::Checksum() {
    XImage* image =
        XGetImage(display_, DefaultRootWindow(display_), 0, 0, static_cast<unsigned>(width()),
                  static_cast<unsigned>(height()), AllPlanes, ZPixmap);
    if (image == nullptr) return 0;
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            hash = (hash ^ (static_cast<std::uint64_t>(XGetPixel(image, x, y)) & 0xFFFFFF)) *
                   1099511628211ull;
        }
    }
    XDestroyImage(image);
    return hash;
}

bool ScreenReader::ColourNear(int x, int y, std::uint32_t colour, int radius, int tolerance) {
    int left = std::max(0, x - radius), top = std::max(0, y - radius);
    int size = 2 * radius + 1;
    XImage* image =
        XGetImage(display_, DefaultRootWindow(display_), left, top, static_cast<unsigned>(size),
                  static_cast<unsigned>(size), AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    bool found = false;
    for (int j = 0; j < image->height && !found; ++j) {
        for (int i = 0; i < image->width && !found; ++i) {
            std::uint32_t pixel = static_cast<std::uint32_t>(XGetPixel(image, i, j)) & 0xFFFFFF;
            found = Near(pixel, colour, tolerance);
        }
    }
    XDestroyImage(image);
    return found;
}

bool ScreenReader::TopWindow(int* x, int* y, int* width, int* height) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
        return false;
    }
    bool found = false;
    // Children come bottom first.
    for (unsigned i = count; i-- > 0 && !found;) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, children[i], &attributes)) continue;
        if (attributes.map_state != IsViewable || attributes.width < 100) continue;
        *x = attributes.x;
        *y = attributes.y;
        *width = attributes.width;
        *height = attributes.height;
        found = true;
    }
    if (children != nullptr) XFree(children);
    return found;
}

void ScreenReader::PressKey(KeySym key, Window window) {
    if (window != 0) XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    KeyCode code = XKeysymToKeycode(display_, key);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
