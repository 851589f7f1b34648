// LibreOffice Impress as a presenter runs it, for the end-to-end tests: a profile of its own in
// a temporary HOME, a deck of five slides of distinct colours, the office started with
// `soffice --impress deck.fodp` inside the test's namespace, and the screen as the test reads it.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// Where the office's programs are, and whether it is installed at all.
constexpr const char* kOfficeProgramDir = "/usr/lib/libreoffice/program";
bool ImpressInstalled();

// The slides' background colours (0xRRGGBB): red, green, blue, yellow, cyan.
constexpr std::array<std::uint32_t, 5> kSlideColours = {0xC00000, 0x00A000, 0x0000C0, 0xC0C000,
                                                        0x00C0C0};

// Writes a profile into `home` that opens documents without first-start dialogs and without
// crash recovery (the tests kill the office on purpose), and the deck `folder`/deck.fodp.
// Returns the deck's path.
std::string PrepareHome(const std::string& home, const std::string& folder);

// One office, started the way a user starts it.
class ImpressProcess {
public:
    ~ImpressProcess() { Kill(); }
    // `soffice --impress <deck>` inside namespace `ns`, with HOME and DISPLAY, in a process group
    // of its own (the wrapper starts soffice.bin beneath it).
    bool Start(const std::string& ns, const std::string& home, const std::string& display,
               const std::string& deck);
    // Kills the whole office at once, as a crash would.
    void Kill();
    // Stops the office (it hangs) and lets it go on.
    void Freeze(bool frozen);

private:
    pid_t group_ = -1;
};

// Whether any office process runs with this HOME.
bool OfficeRunsFor(const std::string& home);
// Ends the offices that test processes no longer alive left behind (a test killed by a
// time-out has no time to end its office): those whose HOME is <`prefix`><dead pid>-...
void EndOrphanedOffices(const std::string& prefix);

// The test's view of a private X server. The office creates and destroys windows all the time,
// so a request about a window that has just gone is expected: X errors on the test's
// connections are ignored (Xlib would end the process, without the test's clean-up).
class ScreenReader {
public:
    explicit ScreenReader(const std::string& display);
    ~ScreenReader();
    bool ok() const { return display_ != nullptr; }
    Display* display() const { return display_; }
    int width() const;
    int height() const;

    // A top-level window whose name is `name`, or 0.
    Window FindWindow(const std::string& name);
    // The colour (0xRRGGBB) at a screen position.
    std::uint32_t Pixel(int x, int y);
    // How many points of a grid over the screen (every `step` pixels) have `colour`, each
    // channel within `tolerance`.
    int CountColour(std::uint32_t colour, int tolerance = 8, int step = 8);
    // Whether a pixel within `radius` of (x, y) has `colour` (channels within `tolerance`).
    bool ColourNear(int x, int y, std::uint32_t colour, int radius = 4, int tolerance = 40);
    // A checksum of everything on the screen.
    std::uint64_t Checksum();
    // The geometry of the topmost mapped top-level window.
    bool TopWindow(int* x, int* y, int* width, int* height);
    // Gives `window` the keyboard focus and presses and releases a key there (XTest).
    void PressKey(KeySym key, Window window = 0);

private:
    Display* display_ = nullptr;
};

// Polls `condition` until it holds or `timeout` has passed.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(15));

bool Near(std::uint32_t a, std::uint32_t b, int tolerance);
