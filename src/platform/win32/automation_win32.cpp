#include "platform/win32/automation_win32.h"

#include <utility>

#include "platform/win32/dispatch_call.h"

namespace {

// Wraps an object reference in the model class W; empty stays empty.
template <typename W>
std::shared_ptr<W> Wrap(ComRef<IDispatch> object) {
    if (!object) return nullptr;
    return std::make_shared<W>(std::move(object));
}

class ColorFormatObject final : public ColorFormat {
public:
    explicit ColorFormatObject(ComRef<IDispatch> object)
        : object_(std::move(object), IID_IDispatch) {}
    // The colour travels as the signed 32-bit integer with the same bits.
    void put_RGB(std::uint32_t bgr) override {
        object_.PutInt(L"RGB", static_cast<std::int32_t>(bgr));
    }

private:
    DispatchObject object_;
};

class SlideRangeObject final : public SlideRange {
public:
    explicit SlideRangeObject(ComRef<IDispatch> object)
        : object_(std::move(object), kSlideRangeIid) {}
    std::int32_t get_SlideIndex() override { return object_.GetInt(L"SlideIndex"); }

private:
    DispatchObject object_;
};

class SelectionObject final : public Selection {
public:
    explicit SelectionObject(ComRef<IDispatch> object)
        : object_(std::move(object), kSelectionIid) {}
    std::shared_ptr<SlideRange> get_SlideRange() override {
        return Wrap<SlideRangeObject>(object_.GetChild(L"SlideRange"));
    }

private:
    DispatchObject object_;
};

class DocumentWindowObject final : public DocumentWindow {
public:
    explicit DocumentWindowObject(ComRef<IDispatch> object)
        : object_(std::move(object), kDocumentWindowIid) {}
    std::shared_ptr<Selection> get_Selection() override {
        return Wrap<SelectionObject>(object_.GetChild(L"Selection"));
    }

private:
    DispatchObject object_;
};

class SlideShowViewObject final : public SlideShowView {
public:
    explicit SlideShowViewObject(ComRef<IDispatch> object)
        : object_(std::move(object), kSlideShowViewIid) {}
    std::int32_t get_CurrentShowPosition() override {
        return object_.GetInt(L"CurrentShowPosition");
    }
    void Next() override { object_.Call(L"Next"); }
    void Previous() override { object_.Call(L"Previous"); }
    void Exit() override { object_.Call(L"Exit"); }
    void GotoSlide(std::int32_t index, std::int32_t resetSlide) override {
        object_.Call(L"GotoSlide", {index, resetSlide});
    }
    std::int32_t get_State() override { return object_.GetInt(L"State"); }
    void put_State(std::int32_t state) override { object_.PutInt(L"State", state); }
    void put_PointerType(std::int32_t type) override { object_.PutInt(L"PointerType", type); }
    std::shared_ptr<ColorFormat> get_PointerColor() override {
        return Wrap<ColorFormatObject>(object_.GetChild(L"PointerColor"));
    }

private:
    DispatchObject object_;
};

class SlideShowWindowObject final : public SlideShowWindow {
public:
    explicit SlideShowWindowObject(ComRef<IDispatch> object)
        : object_(std::move(object), kSlideShowWindowIid) {}
    std::shared_ptr<SlideShowView> get_View() override {
        return Wrap<SlideShowViewObject>(object_.GetChild(L"View"));
    }
    // The handle arrives as a 32-bit integer (signed or not); signed values widen with their
    // sign, as window handles do on 64-bit systems.
    WindowHandle get_HWND() override {
        return static_cast<WindowHandle>(object_.GetInt64(L"HWND"));
    }

private:
    DispatchObject object_;
};

class SlideShowSettingsObject final : public SlideShowSettings {
public:
    explicit SlideShowSettingsObject(ComRef<IDispatch> object)
        : object_(std::move(object), kSlideShowSettingsIid) {}
    std::shared_ptr<SlideShowWindow> Run() override {
        return Wrap<SlideShowWindowObject>(object_.CallForObject(L"Run"));
    }

private:
    DispatchObject object_;
};

class SlidesObject final : public Slides {
public:
    explicit SlidesObject(ComRef<IDispatch> object) : object_(std::move(object), kSlidesIid) {}
    std::int32_t get_Count() override { return object_.GetInt(L"Count"); }

private:
    DispatchObject object_;
};

class PresentationObject final : public _Presentation {
public:
    explicit PresentationObject(ComRef<IDispatch> object)
        : object_(std::move(object), kPresentationIid) {}
    std::shared_ptr<Slides> get_Slides() override {
        return Wrap<SlidesObject>(object_.GetChild(L"Slides"));
    }
    std::shared_ptr<SlideShowSettings> get_SlideShowSettings() override {
        return Wrap<SlideShowSettingsObject>(object_.GetChild(L"SlideShowSettings"));
    }
    std::shared_ptr<SlideShowWindow> get_SlideShowWindow() override {
        return Wrap<SlideShowWindowObject>(object_.GetChild(L"SlideShowWindow"));
    }

private:
    DispatchObject object_;
};

class ApplicationObject final : public _Application {
public:
    explicit ApplicationObject(ComRef<IDispatch> object)
        : object_(std::move(object), kApplicationIid) {}
    std::shared_ptr<_Presentation> get_ActivePresentation() override {
        return Wrap<PresentationObject>(object_.GetChild(L"ActivePresentation"));
    }
    std::shared_ptr<DocumentWindow> get_ActiveWindow() override {
        return Wrap<DocumentWindowObject>(object_.GetChild(L"ActiveWindow"));
    }
    void put_Visible(std::int32_t visible) override { object_.PutInt(L"Visible", visible); }

private:
    DispatchObject object_;
};

}  // namespace

std::shared_ptr<_Application> WrapApplication(IDispatch* application) {
    return Wrap<ApplicationObject>(ComRef<IDispatch>::Share(application));
}
