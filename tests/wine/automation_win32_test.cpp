// The COM wrappers of the presentation object model against in-process automation objects:
// which members are called and how, what failures turn into, and that every reference taken is
// given back.
#include <windows.h>

#include <ole2.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/automation.h"
#include "platform/win32/automation_win32.h"
#include "wine/fake_dispatch.h"

namespace {

IID IidFromText(const wchar_t* text) {
    IID iid{};
    IIDFromString(text, &iid);
    return iid;
}

// The interfaces the wrappers stand for, written out independently of the code under test.
const IID kApp = IidFromText(L"{91493442-5A91-11CF-8700-00AA0060263B}");
const IID kPres = IidFromText(L"{9149349D-5A91-11CF-8700-00AA0060263B}");
const IID kSlides = IidFromText(L"{91493450-5A91-11CF-8700-00AA0060263B}");
const IID kSettings = IidFromText(L"{9149345A-5A91-11CF-8700-00AA0060263B}");
const IID kShowWindow = IidFromText(L"{91493453-5A91-11CF-8700-00AA0060263B}");
const IID kView = IidFromText(L"{91493459-5A91-11CF-8700-00AA0060263B}");
const IID kDocWindow = IidFromText(L"{91493457-5A91-11CF-8700-00AA0060263B}");
const IID kSelection = IidFromText(L"{91493454-5A91-11CF-8700-00AA0060263B}");
const IID kRange = IidFromText(L"{9149346B-5A91-11CF-8700-00AA0060263B}");

constexpr HRESULT kProgramError = static_cast<HRESULT>(0x80048240);
constexpr HRESULT kServerUnavailable = static_cast<HRESULT>(0x800706BA);

// Runs `action`, which must throw AutomationError, and returns what it threw.
AutomationError Thrown(const std::function<void()>& action) {
    try {
        action();
    } catch (const AutomationError& error) {
        return error;
    }
    ADD_FAILURE() << "no AutomationError was thrown";
    return AutomationError{};
}

class ComWrappers : public ::testing::Test {
protected:
    void SetUp() override {
        initialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        FakeDispatch::Calls().clear();
        SetErrorInfo(0, nullptr);
        liveAtStart_ = FakeDispatch::Live();
    }
    void TearDown() override {
        // Every fake of the test is gone once the test's own references went: nothing was
        // kept by the wrappers.
        EXPECT_EQ(FakeDispatch::Live(), liveAtStart_);
        if (initialized_) CoUninitialize();
    }

    bool initialized_ = false;
    int liveAtStart_ = 0;
};

// A whole slideshow's objects, wired as the program wires them.
struct ShowObjects {
    FakeRef app{L"app", kApp};
    FakeRef pres{L"pres"};
    FakeRef slides{L"slides"};
    FakeRef settings{L"settings"};
    FakeRef window{L"window"};
    FakeRef view{L"view"};
    FakeRef color{L"color"};
    FakeRef docWindow{L"docWindow"};
    FakeRef selection{L"selection"};
    FakeRef range{L"range"};

    ShowObjects() {
        app->ReturnsObject(L"ActivePresentation", pres.get());
        app->ReturnsObject(L"ActiveWindow", docWindow.get());
        app->Accepts(L"Visible");
        pres->ReturnsObject(L"Slides", slides.get());
        pres->ReturnsObject(L"SlideShowSettings", settings.get());
        pres->ReturnsObject(L"SlideShowWindow", window.get());
        slides->ReturnsInt(L"Count", 12);
        settings->ReturnsObject(L"Run", window.get());
        window->ReturnsObject(L"View", view.get());
        window->ReturnsInt(L"HWND", 0x00120456);
        view->ReturnsInt(L"CurrentShowPosition", 3);
        for (const wchar_t* member :
             {L"Next", L"Previous", L"Exit", L"GotoSlide", L"PointerType"}) {
            view->Accepts(member);
        }
        view->ReturnsInt(L"State", 1);
        view->ReturnsObject(L"PointerColor", color.get());
        color->Accepts(L"RGB");
        docWindow->ReturnsObject(L"Selection", selection.get());
        selection->ReturnsObject(L"SlideRange", range.get());
        range->ReturnsInt(L"SlideIndex", 7);
    }

    std::vector<FakeDispatch*> All() const {
        return {app.get(),  pres.get(),  slides.get(),    settings.get(),  window.get(),
                view.get(), color.get(), docWindow.get(), selection.get(), range.get()};
    }
    std::vector<ULONG> Refs() const {
        std::vector<ULONG> refs;
        for (FakeDispatch* fake : All()) refs.push_back(fake->Refs());
        return refs;
    }
};

void ExpectGet(const SeenCall& call, const wchar_t* object, const wchar_t* member) {
    EXPECT_EQ(call.object, object);
    EXPECT_EQ(call.member, member);
    EXPECT_EQ(call.flags, DISPATCH_PROPERTYGET)
        << std::string(call.member.begin(), call.member.end());
    EXPECT_TRUE(call.types.empty());
    EXPECT_TRUE(call.named.empty());
    EXPECT_TRUE(call.wantsResult);
}

void ExpectPut(const SeenCall& call, const wchar_t* object, const wchar_t* member, long value) {
    EXPECT_EQ(call.object, object);
    EXPECT_EQ(call.member, member);
    EXPECT_EQ(call.flags, DISPATCH_PROPERTYPUT);
    ASSERT_EQ(call.types.size(), 1u);
    EXPECT_EQ(call.types[0], VT_I4);
    EXPECT_EQ(call.values[0], value);
    ASSERT_EQ(call.named.size(), 1u);
    EXPECT_EQ(call.named[0], DISPID_PROPERTYPUT);
}

void ExpectMethod(const SeenCall& call, const wchar_t* object, const wchar_t* member,
                  std::vector<long> valuesLastFirst) {
    EXPECT_EQ(call.object, object);
    EXPECT_EQ(call.member, member);
    EXPECT_EQ(call.flags, DISPATCH_METHOD);
    EXPECT_EQ(call.values, valuesLastFirst);
    EXPECT_EQ(call.types, std::vector<VARTYPE>(valuesLastFirst.size(), VT_I4));
    EXPECT_TRUE(call.named.empty());
}

}  // namespace

TEST_F(ComWrappers, EveryMemberIsCalledByNameTheWayTheProgramExpects) {
    ShowObjects show;
    const std::vector<ULONG> before = show.Refs();
    {
        std::shared_ptr<_Application> app = WrapApplication(show.app.get());
        ASSERT_TRUE(app);
        app->put_Visible(kMsoTrue);
        std::shared_ptr<_Presentation> pres = app->get_ActivePresentation();
        ASSERT_TRUE(pres);
        EXPECT_EQ(Required(pres->get_Slides()).get_Count(), 12);
        std::shared_ptr<SlideShowWindow> started = Required(pres->get_SlideShowSettings()).Run();
        ASSERT_TRUE(started);
        std::shared_ptr<SlideShowWindow> window = pres->get_SlideShowWindow();
        ASSERT_TRUE(window);
        EXPECT_EQ(window->get_HWND(), WindowHandle{0x00120456});
        std::shared_ptr<SlideShowView> view = window->get_View();
        ASSERT_TRUE(view);
        EXPECT_EQ(view->get_CurrentShowPosition(), 3);
        view->Next();
        view->Previous();
        view->GotoSlide(5, kMsoTrue);
        EXPECT_EQ(view->get_State(), 1);
        view->put_State(kShowBlackScreen);
        view->put_PointerType(kPointerPen);
        Required(view->get_PointerColor()).put_RGB(0xFF0C00);
        view->Exit();
        std::shared_ptr<SlideRange> range =
            Required(Required(app->get_ActiveWindow()).get_Selection()).get_SlideRange();
        ASSERT_TRUE(range);
        EXPECT_EQ(range->get_SlideIndex(), 7);
        // While wrappers are held, they hold references.
        EXPECT_GT(show.view->Refs(), before[5]);
    }

    const std::vector<SeenCall>& calls = FakeDispatch::Calls();
    ASSERT_EQ(calls.size(), 23u);
    ExpectPut(calls[0], L"app", L"Visible", -1);
    ExpectGet(calls[1], L"app", L"ActivePresentation");
    ExpectGet(calls[2], L"pres", L"Slides");
    ExpectGet(calls[3], L"slides", L"Count");
    ExpectGet(calls[4], L"pres", L"SlideShowSettings");
    ExpectMethod(calls[5], L"settings", L"Run", {});
    EXPECT_TRUE(calls[5].wantsResult);
    ExpectGet(calls[6], L"pres", L"SlideShowWindow");
    ExpectGet(calls[7], L"window", L"HWND");
    ExpectGet(calls[8], L"window", L"View");
    ExpectGet(calls[9], L"view", L"CurrentShowPosition");
    ExpectMethod(calls[10], L"view", L"Next", {});
    ExpectMethod(calls[11], L"view", L"Previous", {});
    // GotoSlide(Index, ResetSlide): the last argument comes first in DISPPARAMS.
    ExpectMethod(calls[12], L"view", L"GotoSlide", {-1, 5});
    ExpectGet(calls[13], L"view", L"State");
    ExpectPut(calls[14], L"view", L"State", 3);
    ExpectPut(calls[15], L"view", L"PointerType", 2);
    ExpectGet(calls[16], L"view", L"PointerColor");
    ExpectPut(calls[17], L"color", L"RGB", 0xFF0C00);
    ExpectMethod(calls[18], L"view", L"Exit", {});
    ExpectGet(calls[19], L"app", L"ActiveWindow");
    ExpectGet(calls[20], L"docWindow", L"Selection");
    ExpectGet(calls[21], L"selection", L"SlideRange");
    ExpectGet(calls[22], L"range", L"SlideIndex");

    EXPECT_EQ(show.Refs(), before) << "references left behind by the wrappers";
}

TEST_F(ComWrappers, WindowHandlesArriveAsAnyIntegerVariant) {
    FakeRef app(L"app");
    FakeRef pres(L"pres");
    FakeRef window(L"window");
    app->ReturnsObject(L"ActivePresentation", pres.get());
    pres->ReturnsObject(L"SlideShowWindow", window.get());
    std::shared_ptr<SlideShowWindow> show =
        Required(WrapApplication(app.get())->get_ActivePresentation()).get_SlideShowWindow();
    ASSERT_TRUE(show);

    struct Case {
        VARTYPE type;
        long long value;
        WindowHandle expected;
    };
    const Case cases[] = {
        {VT_I4, 0x00120456, 0x00120456},
        // A negative 32-bit handle widens with its sign, as handles do on 64-bit Windows.
        {VT_I4, -2, static_cast<WindowHandle>(-2)},
        {VT_UI4, 0x80001234, 0x80001234},
        {VT_INT, 0x3344, 0x3344},
        {VT_I8, 0x12345678, 0x12345678},
    };
    for (const Case& c : cases) {
        VARIANT v;
        VariantInit(&v);
        v.vt = c.type;
        switch (c.type) {
            case VT_I4:
                v.lVal = static_cast<LONG>(c.value);
                break;
            case VT_UI4:
                v.ulVal = static_cast<ULONG>(c.value);
                break;
            case VT_INT:
                v.intVal = static_cast<INT>(c.value);
                break;
            default:
                v.llVal = c.value;
                break;
        }
        window->Returns(L"HWND", v);
        EXPECT_EQ(show->get_HWND(), c.expected) << "variant type " << c.type;
    }

    // A text is not a handle.
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"window");
    window->Returns(L"HWND", text);
    VariantClear(&text);
    EXPECT_EQ(Thrown([&] { show->get_HWND(); }).hr, DISP_E_TYPEMISMATCH);
}

TEST_F(ComWrappers, NoObjectReadsAsAnEmptyReference) {
    FakeRef app(L"app");
    FakeRef pres(L"pres");
    FakeRef settings(L"settings");
    FakeRef window(L"window");
    VARIANT nothing;
    VariantInit(&nothing);
    app->Returns(L"ActiveWindow", nothing);  // VT_EMPTY
    nothing.vt = VT_NULL;
    app->ReturnsObject(L"ActivePresentation", pres.get());
    pres->Returns(L"Slides", nothing);                 // VT_NULL
    pres->ReturnsObject(L"SlideShowWindow", nullptr);  // VT_DISPATCH, null pointer
    pres->ReturnsObject(L"SlideShowSettings", settings.get());
    settings->ReturnsObject(L"Run", nullptr);

    std::shared_ptr<_Application> wrapped = WrapApplication(app.get());
    EXPECT_FALSE(wrapped->get_ActiveWindow());
    std::shared_ptr<_Presentation> presentation = wrapped->get_ActivePresentation();
    ASSERT_TRUE(presentation);
    EXPECT_FALSE(presentation->get_Slides());
    EXPECT_FALSE(presentation->get_SlideShowWindow());
    EXPECT_FALSE(Required(presentation->get_SlideShowSettings()).Run());
    EXPECT_FALSE(WrapApplication(nullptr));
    // A number where an object belongs is a type mismatch, not an empty reference.
    app->ReturnsInt(L"ActivePresentation", 4);
    EXPECT_EQ(Thrown([&] { wrapped->get_ActivePresentation(); }).hr, DISP_E_TYPEMISMATCH);
}

TEST_F(ComWrappers, FailuresCarryTheCodeAndTextsOnlyWhenTheObjectVouchesForThem) {
    FakeRef app(L"app", kApp);
    FakeRef pres(L"pres", kPres);
    app->ReturnsObject(L"ActivePresentation", pres.get());
    std::shared_ptr<_Application> wrapped = WrapApplication(app.get());
    std::shared_ptr<_Presentation> presentation = wrapped->get_ActivePresentation();
    ASSERT_TRUE(presentation);

    // The program's own error, with error information for the interface that was called.
    app->OfferErrorInfo(true, kApp);
    app->Fails(L"ActiveWindow", kProgramError, true, L"No window is active.", L"Test Program");
    AutomationError error = Thrown([&] { wrapped->get_ActiveWindow(); });
    EXPECT_EQ(static_cast<HRESULT>(error.hr), kProgramError);
    EXPECT_EQ(error.AppErrorCode(), 0x8040);
    EXPECT_TRUE(error.hasInfo);
    EXPECT_EQ(error.description, "No window is active.");
    EXPECT_EQ(error.source, "Test Program");
    ASSERT_FALSE(app->AskedIids().empty());
    EXPECT_TRUE(IsEqualIID(app->AskedIids().back(), kApp));

    // Error information left for the thread by an object that does not vouch for it on this
    // interface (or offers no ISupportErrorInfo at all) is not attached ...
    pres->OfferErrorInfo(true, kApp);
    pres->Fails(L"Slides", kProgramError, true, L"stale", L"stale");
    error = Thrown([&] { presentation->get_Slides(); });
    EXPECT_EQ(static_cast<HRESULT>(error.hr), kProgramError);
    EXPECT_FALSE(error.hasInfo);
    EXPECT_EQ(error.description, "");
    EXPECT_EQ(error.source, "");
    pres->OfferErrorInfo(false, kPres);
    error = Thrown([&] { presentation->get_Slides(); });
    EXPECT_FALSE(error.hasInfo);

    // ... and not taken for the error of a later call that set none.
    app->Fails(L"ActiveWindow", kServerUnavailable, false);
    error = Thrown([&] { wrapped->get_ActiveWindow(); });
    EXPECT_EQ(static_cast<HRESULT>(error.hr), kServerUnavailable);
    EXPECT_EQ(error.AppErrorCode(), 0);
    EXPECT_FALSE(error.hasInfo);
    EXPECT_EQ(error.description, "");
}

TEST_F(ComWrappers, ExceptionsRaisedThroughInvokeGiveTheirOwnCodeAndTexts) {
    FakeRef app(L"app", kApp);
    app->OfferErrorInfo(false, GUID_NULL);
    std::shared_ptr<_Application> wrapped = WrapApplication(app.get());

    app->Raises(L"ActivePresentation", static_cast<HRESULT>(0x80048241), 0,
                L"Presentation (unknown member) : Invalid request.", L"Test Program");
    AutomationError error = Thrown([&] { wrapped->get_ActivePresentation(); });
    EXPECT_EQ(static_cast<std::uint32_t>(error.hr), 0x80048241u);
    EXPECT_TRUE(error.hasInfo);
    EXPECT_EQ(error.description, "Presentation (unknown member) : Invalid request.");
    EXPECT_EQ(error.source, "Test Program");

    // A 16-bit code lands in the program's error range.
    app->Raises(L"Visible", S_OK, 1010, L"Cannot show.", L"Test Program");
    error = Thrown([&] { wrapped->put_Visible(kMsoTrue); });
    EXPECT_EQ(static_cast<std::uint32_t>(error.hr), 0x80040200u + 1010u);
    EXPECT_EQ(error.AppErrorCode(), 1010);
    EXPECT_EQ(error.description, "Cannot show.");
}

TEST_F(ComWrappers, AMissingMemberFailsWithTheLookUpCode) {
    FakeRef app(L"app", kApp);
    FakeRef pres(L"pres");
    FakeRef slides(L"slides");
    app->ReturnsObject(L"ActivePresentation", pres.get());
    pres->ReturnsObject(L"Slides", slides.get());
    slides->ReturnsInt(L"count", 3);  // spelt differently
    std::shared_ptr<Slides> wrapped =
        Required(WrapApplication(app.get())->get_ActivePresentation()).get_Slides();
    ASSERT_TRUE(wrapped);
    EXPECT_EQ(Thrown([&] { wrapped->get_Count(); }).hr, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(FakeDispatch::Calls().size(), 2u) << "no Invoke for an unknown member";
}

// Each wrapper asks about error information for its own interface: every object below vouches
// only for the interface it stands for, and fails one member with error information.
TEST_F(ComWrappers, EachObjectIsAskedAboutItsOwnInterface) {
    struct Step {
        const char* what;
        FakeDispatch* fake;
        IID iid;
        std::function<void()> call;
    };
    ShowObjects show;
    FakeRef failingPres(L"failingPres");
    FakeRef failingApp(L"failingApp", kApp);
    failingApp->ReturnsObject(L"ActivePresentation", failingPres.get());

    std::shared_ptr<_Application> app = WrapApplication(show.app.get());
    std::shared_ptr<_Presentation> pres = app->get_ActivePresentation();
    std::shared_ptr<SlideShowWindow> window = pres->get_SlideShowWindow();
    std::shared_ptr<SlideShowView> view = window->get_View();
    std::shared_ptr<Slides> slides = pres->get_Slides();
    std::shared_ptr<SlideShowSettings> settings = pres->get_SlideShowSettings();
    std::shared_ptr<ColorFormat> color = view->get_PointerColor();
    std::shared_ptr<DocumentWindow> docWindow = app->get_ActiveWindow();
    std::shared_ptr<Selection> selection = docWindow->get_Selection();
    std::shared_ptr<SlideRange> range = selection->get_SlideRange();
    std::shared_ptr<_Presentation> otherPres =
        WrapApplication(failingApp.get())->get_ActivePresentation();
    ASSERT_TRUE(range && color && settings && slides && otherPres);

    const Step steps[] = {
        {"_Application.Visible", show.app.get(), kApp, [&] { app->put_Visible(kMsoTrue); }},
        {"_Presentation.SlideShowWindow", failingPres.get(), kPres,
         [&] { otherPres->get_SlideShowWindow(); }},
        {"Slides.Count", show.slides.get(), kSlides, [&] { slides->get_Count(); }},
        {"SlideShowSettings.Run", show.settings.get(), kSettings, [&] { settings->Run(); }},
        {"SlideShowWindow.HWND", show.window.get(), kShowWindow, [&] { window->get_HWND(); }},
        {"SlideShowView.Next", show.view.get(), kView, [&] { view->Next(); }},
        {"ColorFormat.RGB", show.color.get(), IID_IDispatch, [&] { color->put_RGB(1); }},
        {"DocumentWindow.Selection", show.docWindow.get(), kDocWindow,
         [&] { docWindow->get_Selection(); }},
        {"Selection.SlideRange", show.selection.get(), kSelection,
         [&] { selection->get_SlideRange(); }},
        {"SlideRange.SlideIndex", show.range.get(), kRange, [&] { range->get_SlideIndex(); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        std::string name(step.what);
        name = name.substr(name.find('.') + 1);
        std::wstring member(name.begin(), name.end());
        step.fake->OfferErrorInfo(true, step.iid);
        step.fake->Fails(member.c_str(), kProgramError, true, L"described", L"sourced");
        AutomationError error = Thrown(step.call);
        EXPECT_EQ(static_cast<HRESULT>(error.hr), kProgramError);
        EXPECT_TRUE(error.hasInfo);
        EXPECT_EQ(error.description, "described");
        ASSERT_EQ(step.fake->AskedIids().size(), 1u);
        EXPECT_TRUE(IsEqualIID(step.fake->AskedIids()[0], step.iid));
    }
}

// References are given back on every path: after failures, type mismatches and empty results,
// with wrappers dropped in any order.
TEST_F(ComWrappers, NoReferenceOutlivesTheWrappersEvenAfterFailures) {
    ShowObjects show;
    const std::vector<ULONG> before = show.Refs();
    show.view->Fails(L"Next", kProgramError, true, L"x", L"y");
    show.view->OfferErrorInfo(true, kView);
    show.range->Raises(L"SlideIndex", kProgramError, 0, L"x", L"y");
    show.window->ReturnsInt(L"View", 1);  // a number where the view belongs
    {
        std::shared_ptr<_Application> app = WrapApplication(show.app.get());
        std::shared_ptr<SlideShowWindow> window =
            Required(app->get_ActivePresentation()).get_SlideShowWindow();
        EXPECT_EQ(Thrown([&] { window->get_View(); }).hr, DISP_E_TYPEMISMATCH);
        show.window->ReturnsObject(L"View", show.view.get());
        std::shared_ptr<SlideShowView> view = window->get_View();
        app.reset();  // children outlive their parents' wrappers
        window.reset();
        EXPECT_EQ(Thrown([&] { view->Next(); }).hr, kProgramError);
        // A failure with wrappers of the whole chain alive on the way out.
        auto selectedSlide = [&] {
            std::shared_ptr<_Application> fresh = WrapApplication(show.app.get());
            std::shared_ptr<Selection> selection =
                Required(fresh->get_ActiveWindow()).get_Selection();
            return Required(Required(selection).get_SlideRange()).get_SlideIndex();
        };
        EXPECT_EQ(Thrown([&] { selectedSlide(); }).hr, kProgramError);
    }
    EXPECT_EQ(show.Refs(), before);
}
