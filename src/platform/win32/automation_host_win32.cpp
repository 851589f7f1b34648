// Finding the presentation program through COM, and the desktop calls made for it.
#include <windows.h>

#include <ole2.h>

#include <string>

#include "platform/automation_host.h"
#include "platform/text_conversion.h"
#include "platform/win32/automation_win32.h"
#include "platform/win32/com_ref.h"

namespace {

static_assert(CLSCTX_ALL == 0x17, "creation asks every kind of server");

constexpr int kPenCursorId = 160;
constexpr DWORD kNormalArrowCursor = 32512;  // OCR_NORMAL

std::u16string WideName(const char* className) { return AnsiToUtf16(className ? className : ""); }

const wchar_t* AsWide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

HWND AsHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// Creation by name: a "{...}" class identifier or a class name, created in whatever server the
// system has for it, started, and asked for the application interface.
HRESULT CreateByName(const char* className, ComRef<IDispatch>* application) {
    const std::u16string name = WideName(className);
    CLSID clsid{};
    HRESULT hr = name.starts_with(u'{') ? CLSIDFromString(AsWide(name), &clsid)
                                        : CLSIDFromProgID(AsWide(name), &clsid);
    if (FAILED(hr)) return hr;
    ComRef<IUnknown> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid());
    if (FAILED(hr)) return hr;
    if (!object) return E_POINTER;
    hr = OleRun(object.Get());
    if (FAILED(hr)) return hr;
    // A dual interface is also the object's IDispatch, so its members can be called by name.
    hr = object->QueryInterface(kApplicationIid, application->PutVoid());
    if (FAILED(hr)) return hr;
    return *application ? S_OK : E_NOINTERFACE;
}

class Win32AutomationHost : public AutomationHost {
public:
    // Automation objects are called only from the thread that enters here; a program that
    // already chose an apartment for the thread keeps it.
    void EnterWorkerThread() override { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }

    std::int32_t LookUpClass(const char* className) override {
        CLSID clsid{};
        HRESULT hr = CLSIDFromProgID(AsWide(WideName(className)), &clsid);
        return FAILED(hr) ? static_cast<std::int32_t>(hr) : 0;
    }

    std::shared_ptr<_Application> Create(const char* className, std::int32_t* hr) override {
        ComRef<IDispatch> application;
        HRESULT result = CreateByName(className, &application);
        if (hr) *hr = static_cast<std::int32_t>(FAILED(result) ? result : S_OK);
        if (FAILED(result)) return nullptr;
        return WrapApplication(application.Get());
    }

    std::shared_ptr<_Application> GetRunning(const char* className) override {
        CLSID clsid{};
        if (FAILED(CLSIDFromProgID(AsWide(WideName(className)), &clsid))) return nullptr;
        ComRef<IUnknown> running;
        if (FAILED(GetActiveObject(clsid, nullptr, running.Put())) || !running) return nullptr;
        ComRef<IDispatch> application;
        if (FAILED(running->QueryInterface(kApplicationIid, application.PutVoid()))) return nullptr;
        return WrapApplication(application.Get());
    }

    bool GetWindowRect(WindowHandle window, WindowRect* rect) override {
        RECT r{};
        if (!::GetWindowRect(AsHwnd(window), &r)) return false;
        *rect = WindowRect{r.left, r.top, r.right, r.bottom};
        return true;
    }

    void SetForegroundWindow(WindowHandle window) override {
        ::SetForegroundWindow(AsHwnd(window));
    }

    void SetActiveWindow(WindowHandle window) override { ::SetActiveWindow(AsHwnd(window)); }

    void InstallPenCursor() override {
        // A cursor loaded from resources is shared and must not become a system cursor, so a
        // copy is installed. The system takes the copy over when it accepts it (and destroys
        // it itself later); only a refused copy is ours to destroy. Destroying the loaded,
        // shared cursor does nothing and is harmless.
        HCURSOR loaded = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kPenCursorId));
        if (!loaded) return;
        HCURSOR copy = reinterpret_cast<HCURSOR>(CopyIcon(reinterpret_cast<HICON>(loaded)));
        if (copy && !SetSystemCursor(copy, kNormalArrowCursor)) DestroyCursor(copy);
        DestroyCursor(loaded);
    }

    void RestoreSystemCursors() override {
        SystemParametersInfoA(SPI_SETCURSORS, 0, nullptr, SPIF_SENDCHANGE);
    }
};

}  // namespace

std::unique_ptr<AutomationHost> CreateSystemAutomationHost() {
    return std::make_unique<Win32AutomationHost>();
}
