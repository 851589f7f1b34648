// A scripted presentation program: a real slideshow state behind the object model, with
// failures to inject, and a host that creates, finds and loses it like the real one.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/automation_host.h"

// What the program's window shows and what the tests script. The worker thread uses the
// objects while a test changes and watches the state, so the scalars are atomic and the call
// list has a lock; the failure script is set up before the worker runs.
struct FakeShow {
    std::atomic<bool> installed{true};  // registered under its class name
    std::atomic<bool> running{false};   // an instance exists (created or started by the user)
    std::atomic<bool> presentationOpen{true};  // a presentation is open in the instance
    std::atomic<int> slideCount{10};
    std::atomic<bool> showRunning{false};
    std::atomic<int> position{1};     // 1-based; slideCount + 1 is the end screen
    std::atomic<int> viewState{1};    // 1 running, 3 black, 4 white
    std::atomic<int> pointerType{1};  // 1 arrow, 2 pen, 3 hidden
    std::atomic<std::uint32_t> pointerColor{0};
    std::atomic<int> selectedSlide{0};  // 0: nothing selected in the editing window
    std::atomic<bool> visible{false};
    WindowHandle window = 0x5150;
    WindowRect rect{0, 0, 1280, 720};
    std::atomic<int> generation{1};  // bumped when the program is closed and started again

    // Scripted failures by member name ("View.Next", "Presentation.SlideShowWindow", ...):
    // thrown by the next call of that member (`times` calls, -1 for every call).
    struct Failure {
        AutomationError error;
        int times;
    };
    std::map<std::string, Failure> failures;
    // Members that return an empty reference instead of an object.
    std::vector<std::string> empties;
    // Every member call in order, "Object.Member" or "Object.Member(args)".
    void Record(std::string call);
    std::vector<std::string> Calls();
    void ClearCalls();

    void Fail(const std::string& member, std::int32_t hr, int times = 1,
              const std::string& description = "", const std::string& source = "");
    bool ReturnsEmpty(const std::string& member) const;
    // The user closes the program: objects handed out so far lose their connection.
    void CloseProgram();

    // The program stops answering: every call of `member` ("View.GotoSlide") blocks, after
    // being recorded, until Release. Any thread.
    void Hang(const std::string& member);
    void Release();
    // Calls blocked right now.
    int Hanging();
    // Blocks while `key` is the hanging member (the fake objects call it).
    void WaitIfHanging(const std::string& key);

private:
    std::mutex callsLock_;
    std::vector<std::string> calls_;
    std::mutex hangLock_;
    std::condition_variable hangEnded_;
    std::string hangs_;
    int hanging_ = 0;
};

// Application object of the fake (what the host hands out).
std::shared_ptr<_Application> NewFakeApplication(std::shared_ptr<FakeShow> show);

class FakeHost : public AutomationHost {
public:
    explicit FakeHost(std::shared_ptr<FakeShow> show) : show_(std::move(show)) {}

    std::int32_t LookUpClass(const char* className) override;
    std::shared_ptr<_Application> Create(const char* className, std::int32_t* hr) override;
    std::shared_ptr<_Application> GetRunning(const char* className) override;
    bool GetWindowRect(WindowHandle window, WindowRect* rect) override;
    void SetForegroundWindow(WindowHandle window) override;
    void SetActiveWindow(WindowHandle window) override;
    void InstallPenCursor() override;
    void RestoreSystemCursors() override;

    bool wpsInstalled = false;
    int creations = 0;
    std::atomic<int> runningLookups{0};
    std::atomic<bool> penCursorInstalled{false};
    std::atomic<int> cursorChanges{0};
    int throwOnInstallCursor = 0;  // that many InstallPenCursor calls throw std::runtime_error
    std::vector<WindowHandle> foreground;

private:
    std::shared_ptr<FakeShow> show_;
};
