// The Windows automation host: class lookup, creation and the running-object lookup through
// the real COM runtime, window calls, and the pen cursor carried by every program.
#include <windows.h>

#include <ole2.h>

#include <gtest/gtest.h>

#include <memory>

#include "desktop.h"
#include "platform/automation_host.h"
#include "wine/fake_dispatch.h"

namespace {

constexpr const char* kProgramClass = "Powerpoint.Application";
constexpr HRESULT kNotRegistered = static_cast<HRESULT>(0x80040154);  // REGDB_E_CLASSNOTREG

// A class of this test program, registered with COM while a test runs.
constexpr const char* kTestClassText = "{6F1D6A2C-1D0B-4C55-9E57-2B4E0C8D7A11}";
constexpr const wchar_t* kTestClassWide = L"{6F1D6A2C-1D0B-4C55-9E57-2B4E0C8D7A11}";
constexpr const char* kTestProgId = "Corvane.TestApplication";

IID IidFromText(const wchar_t* text) {
    IID iid{};
    IIDFromString(text, &iid);
    return iid;
}
const IID kApp = IidFromText(L"{91493442-5A91-11CF-8700-00AA0060263B}");
const CLSID kTestClass = IidFromText(kTestClassWide);

// Hands out one fake as the instance of the test class.
class FakeFactory final : public IClassFactory {
public:
    explicit FakeFactory(FakeDispatch* product) : product_(product) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the test's stack; COM's references only have to be balanced by the end.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        asked_ = iid;
        ++created_;
        if (outer) return CLASS_E_NOAGGREGATION;
        return product_->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    ULONG refs() const { return refs_; }
    const IID& asked() const { return asked_; }
    int created() const { return created_; }

private:
    FakeDispatch* product_;
    ULONG refs_ = 0;
    IID asked_ = GUID_NULL;
    int created_ = 0;
};

// The test class registered with COM for this process, revoked at the end of the scope.
class RegisteredClass {
public:
    explicit RegisteredClass(FakeFactory* factory) {
        hr_ = CoRegisterClassObject(kTestClass, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                    &cookie_);
    }
    ~RegisteredClass() {
        if (SUCCEEDED(hr_)) CoRevokeClassObject(cookie_);
    }
    HRESULT hr() const { return hr_; }

private:
    HRESULT hr_ = E_FAIL;
    DWORD cookie_ = 0;
};

// The test class's name in the registry, removed at the end of the scope. Class names are
// looked up in HKEY_CLASSES_ROOT (Wine does not see per-user classes there).
class RegisteredProgId {
public:
    RegisteredProgId() {
        HKEY key = nullptr;
        ok_ = RegCreateKeyExA(HKEY_CLASSES_ROOT, "Corvane.TestApplication\\CLSID", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS;
        if (!ok_) return;
        ok_ = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kTestClassText),
                             static_cast<DWORD>(strlen(kTestClassText) + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~RegisteredProgId() { RegDeleteTreeA(HKEY_CLASSES_ROOT, "Corvane.TestApplication"); }
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// An object entered as the running instance of the test class, revoked at the end of the scope.
class ActiveObject {
public:
    explicit ActiveObject(IUnknown* object) {
        hr_ = RegisterActiveObject(object, kTestClass, ACTIVEOBJECT_STRONG, &cookie_);
    }
    ~ActiveObject() { Revoke(); }
    void Revoke() {
        if (SUCCEEDED(hr_)) RevokeActiveObject(cookie_, nullptr);
        hr_ = E_FAIL;
    }
    HRESULT hr() const { return hr_; }

private:
    HRESULT hr_ = E_FAIL;
    DWORD cookie_ = 0;
};

class AutomationHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = CreateSystemAutomationHost();
        // The host prepares the thread as the presentation worker does.
        host_->EnterWorkerThread();
        FakeDispatch::Calls().clear();
        liveAtStart_ = FakeDispatch::Live();
    }
    void TearDown() override {
        host_.reset();
        EXPECT_EQ(FakeDispatch::Live(), liveAtStart_);
        CoUninitialize();
    }

    std::unique_ptr<AutomationHost> host_;
    int liveAtStart_ = 0;
};

}  // namespace

TEST_F(AutomationHostTest, WithoutThePresentationProgramNothingIsFound) {
    const std::int32_t lookUp = host_->LookUpClass(kProgramClass);
    EXPECT_EQ(static_cast<std::uint32_t>(lookUp), 0x800401F3u) << "CO_E_CLASSSTRING expected";
    EXPECT_EQ(lookUp, kClassStringError);
    EXPECT_NE(host_->LookUpClass("WPP.Application"), 0);

    std::int32_t hr = 0;
    EXPECT_FALSE(host_->Create(kProgramClass, &hr));
    EXPECT_EQ(hr, lookUp);
    EXPECT_FALSE(host_->GetRunning(kProgramClass));

    // A class identifier is read as one; an unknown one is not registered, a malformed one is
    // not a class identifier at all.
    EXPECT_FALSE(host_->Create("{00000000-0000-0000-0000-00000000CAFE}", &hr));
    EXPECT_EQ(hr, kNotRegistered);
    EXPECT_FALSE(host_->Create("{not a class", &hr));
    EXPECT_EQ(hr, CO_E_CLASSSTRING);
}

TEST_F(AutomationHostTest, CreationAsksForIUnknownThenForTheApplicationInterface) {
    FakeRef product(L"app", kApp);
    product->Accepts(L"Visible");
    FakeFactory factory(product.get());
    {
        RegisteredClass registered(&factory);
        ASSERT_EQ(registered.hr(), S_OK);

        std::int32_t hr = -1;
        std::shared_ptr<_Application> app = host_->Create(kTestClassText, &hr);
        ASSERT_TRUE(app);
        EXPECT_EQ(hr, 0);
        EXPECT_EQ(factory.created(), 1);
        EXPECT_TRUE(IsEqualIID(factory.asked(), IID_IUnknown));
        app->put_Visible(kMsoTrue);
        ASSERT_EQ(FakeDispatch::Calls().size(), 1u);
        EXPECT_EQ(FakeDispatch::Calls()[0].member, L"Visible");
        app.reset();
        EXPECT_EQ(product->Refs(), 0u) << "the host kept a reference";
    }
    EXPECT_EQ(factory.refs(), 0u);
}

TEST_F(AutomationHostTest, AnObjectWithoutTheApplicationInterfaceIsNotAnApplication) {
    FakeRef product(L"other");  // answers IDispatch but not the application interface
    FakeFactory factory(product.get());
    RegisteredClass registered(&factory);
    ASSERT_EQ(registered.hr(), S_OK);

    std::int32_t hr = 0;
    EXPECT_FALSE(host_->Create(kTestClassText, &hr));
    EXPECT_EQ(hr, E_NOINTERFACE);
    EXPECT_EQ(product->Refs(), 0u);
}

TEST_F(AutomationHostTest, ARegisteredNameAndARunningInstanceAreFound) {
    RegisteredProgId progId;
    ASSERT_TRUE(progId.ok());
    EXPECT_EQ(host_->LookUpClass(kTestProgId), 0);
    EXPECT_FALSE(host_->GetRunning(kTestProgId)) << "nothing runs yet";

    FakeRef product(L"running", kApp);
    product->ReturnsObject(L"ActivePresentation", nullptr);
    ActiveObject active(static_cast<IDispatch*>(product.get()));
    ASSERT_EQ(active.hr(), S_OK);
    {
        std::shared_ptr<_Application> running = host_->GetRunning(kTestProgId);
        ASSERT_TRUE(running);
        EXPECT_FALSE(running->get_ActivePresentation());
        ASSERT_EQ(FakeDispatch::Calls().size(), 1u);
        EXPECT_EQ(FakeDispatch::Calls()[0].object, L"running");
    }
    active.Revoke();
    EXPECT_FALSE(host_->GetRunning(kTestProgId));
}

TEST_F(AutomationHostTest, WindowCalls) {
    // Not shown: only its rectangle matters, and hiding a shown window costs seconds under
    // Wine without a window manager.
    HWND window = CreateTestWindow(L"CorvaneShowWindowTest", DefWindowProcW, L"show", WS_POPUP, 40,
                                   30, 320, 240);
    ASSERT_NE(window, nullptr);
    const WindowHandle handle = reinterpret_cast<WindowHandle>(window);

    WindowRect rect;
    ASSERT_TRUE(host_->GetWindowRect(handle, &rect));
    EXPECT_EQ(rect.left, 40);
    EXPECT_EQ(rect.top, 30);
    EXPECT_EQ(rect.right - rect.left, 320);
    EXPECT_EQ(rect.bottom - rect.top, 240);
    host_->SetForegroundWindow(handle);
    host_->SetActiveWindow(handle);
    DestroyWindow(window);
    EXPECT_FALSE(host_->GetWindowRect(handle, &rect)) << "a destroyed window has no rectangle";
}

// Every program carries cursor 160: one 16 x 16 image, 32 bits per pixel, hot spot at the
// top-left pixel, which the pencil's point covers.
TEST_F(AutomationHostTest, ThePenCursorIsInTheProgramAndCanBeInstalled) {
    HMODULE self = GetModuleHandleW(nullptr);
    HCURSOR cursor = LoadCursorW(self, MAKEINTRESOURCEW(160));
    ASSERT_NE(cursor, nullptr);
    // LoadCursor gives the system's cursor size; at its own size the image is 16 x 16.
    HANDLE native = LoadImageW(self, MAKEINTRESOURCEW(160), IMAGE_CURSOR, 0, 0, LR_DEFAULTCOLOR);
    ASSERT_NE(native, nullptr);
    for (HCURSOR loaded : {cursor, static_cast<HCURSOR>(native)}) {
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(loaded, &info));
        EXPECT_FALSE(info.fIcon);
        EXPECT_EQ(info.xHotspot, 0u);
        EXPECT_EQ(info.yHotspot, 0u);
        ASSERT_NE(info.hbmColor, nullptr) << "a colour cursor has a colour bitmap";
        if (loaded == native) {
            BITMAP bitmap{};
            ASSERT_NE(GetObjectW(info.hbmColor, sizeof bitmap, &bitmap), 0);
            EXPECT_EQ(bitmap.bmWidth, 16);
            EXPECT_EQ(bitmap.bmHeight, 16);
        }
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    DestroyCursor(static_cast<HCURSOR>(native));

    // The stored image itself: hot spot, then the bitmap header and the pixels, bottom-up.
    HRSRC group = FindResourceW(self, MAKEINTRESOURCEW(160), MAKEINTRESOURCEW(12));  // group
    ASSERT_NE(group, nullptr);
    const int imageId = LookupIconIdFromDirectoryEx(
        static_cast<PBYTE>(LockResource(LoadResource(self, group))), FALSE, 16, 16, 0);
    HRSRC image = FindResourceW(self, MAKEINTRESOURCEW(imageId), MAKEINTRESOURCEW(1));  // cursor
    ASSERT_NE(image, nullptr);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(self, image)));
    ASSERT_GE(SizeofResource(self, image), 4 + sizeof(BITMAPINFOHEADER) + 16 * 16 * 4);
    const WORD* hotSpot = reinterpret_cast<const WORD*>(data);
    EXPECT_EQ(hotSpot[0], 0);
    EXPECT_EQ(hotSpot[1], 0);
    BITMAPINFOHEADER header;
    memcpy(&header, data + 4, sizeof header);
    EXPECT_EQ(header.biWidth, 16);
    EXPECT_EQ(header.biHeight, 32);  // colour and mask
    EXPECT_EQ(header.biBitCount, 32);
    const BYTE* topLeft = data + 4 + header.biSize + 15 * 16 * 4;
    EXPECT_GE(topLeft[3], 192) << "the hot spot lies on the pencil's point";
    const BYTE* bottomLeft = data + 4 + header.biSize;
    EXPECT_EQ(bottomLeft[3], 0) << "the corner away from the pencil is transparent";

    host_->InstallPenCursor();
    host_->RestoreSystemCursors();
    host_->InstallPenCursor();
    host_->RestoreSystemCursors();
    // The program's own cursor is still there to be installed again.
    EXPECT_NE(LoadCursorW(self, MAKEINTRESOURCEW(160)), nullptr);
}
