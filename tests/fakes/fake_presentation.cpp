#include "fake_presentation.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr std::int32_t kRpcServerUnavailable = static_cast<std::int32_t>(0x800706BA);

// Base of every fake object: remembers the program generation it belongs to.
class FakeObject {
public:
    FakeObject(std::shared_ptr<FakeShow> show, const char* name)
        : show_(std::move(show)), name_(name), generation_(show_->generation) {}

protected:
    // Records the call and throws what the script asks for.
    void Enter(const char* member, const std::string& args = "") {
        std::string key = std::string(name_) + "." + member;
        show_->Record(args.empty() ? key : key + "(" + args + ")");
        show_->WaitIfHanging(key);
        if (generation_ != show_->generation) {
            throw AutomationError{kRpcServerUnavailable, false, {}, {}};
        }
        auto it = show_->failures.find(key);
        if (it != show_->failures.end() && it->second.times != 0) {
            AutomationError error = it->second.error;
            if (it->second.times > 0) --it->second.times;
            throw error;
        }
    }
    bool Empty(const char* member) const {
        return show_->ReturnsEmpty(std::string(name_) + "." + member);
    }
    void RequireShow() {
        if (!show_->showRunning)
            throw AutomationError{static_cast<std::int32_t>(0x80048240), true,
                                  "SlideShowView: no slide show", "Fake"};
    }

    std::shared_ptr<FakeShow> show_;
    const char* name_;
    int generation_;
};

class FakeColor : public ColorFormat, FakeObject {
public:
    explicit FakeColor(std::shared_ptr<FakeShow> s) : FakeObject(std::move(s), "Color") {}
    void put_RGB(std::uint32_t bgr) override {
        Enter("RGB", std::to_string(bgr));
        show_->pointerColor = bgr;
    }
};

class FakeView : public SlideShowView, FakeObject {
public:
    explicit FakeView(std::shared_ptr<FakeShow> s) : FakeObject(std::move(s), "View") {}
    std::int32_t get_CurrentShowPosition() override {
        Enter("CurrentShowPosition");
        RequireShow();
        return show_->position;
    }
    void Next() override {
        Enter("Next");
        RequireShow();
        if (show_->position <= show_->slideCount) ++show_->position;
    }
    void Previous() override {
        Enter("Previous");
        RequireShow();
        if (show_->position > 1) --show_->position;
    }
    void Exit() override {
        Enter("Exit");
        RequireShow();
        show_->showRunning = false;
    }
    void GotoSlide(std::int32_t index, std::int32_t reset) override {
        Enter("GotoSlide", std::to_string(index) + "," + std::to_string(reset));
        RequireShow();
        if (index < 1 || index > show_->slideCount) {
            throw AutomationError{static_cast<std::int32_t>(0x80048240), true, "bad index", "Fake"};
        }
        show_->position = index;
    }
    std::int32_t get_State() override {
        Enter("State");
        RequireShow();
        return show_->viewState;
    }
    void put_State(std::int32_t state) override {
        Enter("State=", std::to_string(state));
        RequireShow();
        show_->viewState = state;
    }
    void put_PointerType(std::int32_t type) override {
        Enter("PointerType=", std::to_string(type));
        RequireShow();
        show_->pointerType = type;
    }
    std::shared_ptr<ColorFormat> get_PointerColor() override {
        Enter("PointerColor");
        if (Empty("PointerColor")) return nullptr;
        return std::make_shared<FakeColor>(show_);
    }
};

class FakeWindow : public SlideShowWindow, FakeObject {
public:
    explicit FakeWindow(std::shared_ptr<FakeShow> s) : FakeObject(std::move(s), "Window") {}
    std::shared_ptr<SlideShowView> get_View() override {
        Enter("View");
        if (!show_->showRunning || Empty("View")) return nullptr;
        return std::make_shared<FakeView>(show_);
    }
    WindowHandle get_HWND() override {
        Enter("HWND");
        return show_->window;
    }
};

class FakeSettings : public SlideShowSettings, FakeObject {
public:
    explicit FakeSettings(std::shared_ptr<FakeShow> s) : FakeObject(std::move(s), "Settings") {}
    std::shared_ptr<SlideShowWindow> Run() override {
        Enter("Run");
        show_->showRunning = true;
        show_->position = 1;
        show_->viewState = 1;
        show_->pointerType = 1;
        return std::make_shared<FakeWindow>(show_);
    }
};

class FakeSlides : public Slides, FakeObject {
public:
    explicit FakeSlides(std::shared_ptr<FakeShow> s) : FakeObject(std::move(s), "Slides") {}
    std::int32_t get_Count() override {
        Enter("Count");
        return show_->slideCount;
    }
};

class FakePresentation : public _Presentation, FakeObject {
public:
    explicit FakePresentation(std::shared_ptr<FakeShow> s)
        : FakeObject(std::move(s), "Presentation") {}
    std::shared_ptr<Slides> get_Slides() override {
        Enter("Slides");
        return std::make_shared<FakeSlides>(show_);
    }
    std::shared_ptr<SlideShowSettings> get_SlideShowSettings() override {
        Enter("SlideShowSettings");
        return std::make_shared<FakeSettings>(show_);
    }
    std::shared_ptr<SlideShowWindow> get_SlideShowWindow() override {
        Enter("SlideShowWindow");
        if (!show_->showRunning) {
            throw AutomationError{static_cast<std::int32_t>(0x80048240), true,
                                  "Presentation.SlideShowWindow: no slide show", "Fake"};
        }
        if (Empty("SlideShowWindow")) return nullptr;
        return std::make_shared<FakeWindow>(show_);
    }
};

class FakeSlideRange : public SlideRange, FakeObject {
public:
    explicit FakeSlideRange(std::shared_ptr<FakeShow> s) : FakeObject(std::move(s), "Range") {}
    std::int32_t get_SlideIndex() override {
        Enter("SlideIndex");
        return show_->selectedSlide;
    }
};

class FakeSelection : public Selection, FakeObject {
public:
    explicit FakeSelection(std::shared_ptr<FakeShow> s) : FakeObject(std::move(s), "Selection") {}
    std::shared_ptr<SlideRange> get_SlideRange() override {
        Enter("SlideRange");
        if (show_->selectedSlide == 0) {
            throw AutomationError{static_cast<std::int32_t>(0x80048240), true, "nothing selected",
                                  "Fake"};
        }
        return std::make_shared<FakeSlideRange>(show_);
    }
};

class FakeDocumentWindow : public DocumentWindow, FakeObject {
public:
    explicit FakeDocumentWindow(std::shared_ptr<FakeShow> s)
        : FakeObject(std::move(s), "DocumentWindow") {}
    std::shared_ptr<Selection> get_Selection() override {
        Enter("Selection");
        return std::make_shared<FakeSelection>(show_);
    }
};

class FakeApplication : public _Application, FakeObject {
public:
    explicit FakeApplication(std::shared_ptr<FakeShow> s) : FakeObject(std::move(s), "App") {}
    std::shared_ptr<_Presentation> get_ActivePresentation() override {
        Enter("ActivePresentation");
        if (!show_->presentationOpen) {
            throw AutomationError{static_cast<std::int32_t>(0x80048240), true,
                                  "Application.ActivePresentation : Invalid request.",
                                  "Microsoft PowerPoint"};
        }
        if (Empty("ActivePresentation")) return nullptr;
        return std::make_shared<FakePresentation>(show_);
    }
    std::shared_ptr<DocumentWindow> get_ActiveWindow() override {
        Enter("ActiveWindow");
        return std::make_shared<FakeDocumentWindow>(show_);
    }
    void put_Visible(std::int32_t visible) override {
        Enter("Visible=", std::to_string(visible));
        show_->visible = visible != 0;
    }
};

}  // namespace

void FakeShow::Fail(const std::string& member, std::int32_t hr, int times,
                    const std::string& description, const std::string& source) {
    bool info = !description.empty() || !source.empty();
    failures[member] = {AutomationError{hr, info, description, source}, times};
}

void FakeShow::Record(std::string call) {
    std::lock_guard<std::mutex> guard(callsLock_);
    calls_.push_back(std::move(call));
}

std::vector<std::string> FakeShow::Calls() {
    std::lock_guard<std::mutex> guard(callsLock_);
    return calls_;
}

void FakeShow::ClearCalls() {
    std::lock_guard<std::mutex> guard(callsLock_);
    calls_.clear();
}

bool FakeShow::ReturnsEmpty(const std::string& member) const {
    return std::find(empties.begin(), empties.end(), member) != empties.end();
}

void FakeShow::CloseProgram() {
    running = false;
    showRunning = false;
    ++generation;
}

void FakeShow::Hang(const std::string& member) {
    std::lock_guard<std::mutex> guard(hangLock_);
    hangs_ = member;
}

void FakeShow::Release() {
    {
        std::lock_guard<std::mutex> guard(hangLock_);
        hangs_.clear();
    }
    hangEnded_.notify_all();
}

int FakeShow::Hanging() {
    std::lock_guard<std::mutex> guard(hangLock_);
    return hanging_;
}

void FakeShow::WaitIfHanging(const std::string& key) {
    std::unique_lock<std::mutex> held(hangLock_);
    if (hangs_ != key) return;
    ++hanging_;
    hangEnded_.wait(held, [&] { return hangs_ != key; });
    --hanging_;
}

std::shared_ptr<_Application> NewFakeApplication(std::shared_ptr<FakeShow> show) {
    return std::make_shared<FakeApplication>(std::move(show));
}

std::int32_t FakeHost::LookUpClass(const char* className) {
    std::string name = className;
    if (name == "Powerpoint.Application" && show_->installed) return 0;
    if (name == "WPP.Application" && wpsInstalled) return 0;
    return kClassStringError;
}

std::shared_ptr<_Application> FakeHost::Create(const char* className, std::int32_t* hr) {
    *hr = LookUpClass(className);
    if (*hr != 0) return nullptr;
    ++creations;
    show_->running = true;
    return NewFakeApplication(show_);
}

std::shared_ptr<_Application> FakeHost::GetRunning(const char* className) {
    ++runningLookups;
    if (LookUpClass(className) != 0 || !show_->running) return nullptr;
    return NewFakeApplication(show_);
}

bool FakeHost::GetWindowRect(WindowHandle window, WindowRect* rect) {
    if (window != show_->window) return false;
    *rect = show_->rect;
    return true;
}

void FakeHost::SetForegroundWindow(WindowHandle window) { foreground.push_back(window); }

void FakeHost::SetActiveWindow(WindowHandle) {}

void FakeHost::InstallPenCursor() {
    if (throwOnInstallCursor > 0) {
        --throwOnInstallCursor;
        throw std::runtime_error("cursor resource missing");
    }
    penCursorInstalled = true;
    ++cursorChanges;
}

void FakeHost::RestoreSystemCursors() {
    penCursorInstalled = false;
    ++cursorChanges;
}
