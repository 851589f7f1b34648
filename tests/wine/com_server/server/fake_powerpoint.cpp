// A stand-in presentation program for tests: an out-of-process COM automation server whose
// objects are called by name through IDispatch and keep a small slideshow state.
//
//   fake_powerpoint.exe /register <folder>    writes a type library for the object library's
//                                             interface identifiers into <folder> and registers
//                                             the class name, class and interfaces
//   fake_powerpoint.exe /unregister <folder>  removes all of it again
//   fake_powerpoint.exe [-Embedding]          serves; the state goes to the file named by the
//                                             environment variable FAKE_PPT_STATE, and a file
//                                             FAKE_PPT_STATE.fail naming a member makes that
//                                             member fail; FAKE_PPT_STATE.hang naming a member
//                                             makes its calls hang (until the exit file
//                                             appears), or with a number of milliseconds
//                                             behind the name, answer that late;
//                                             FAKE_PPT_STATE.exit ends the server in order,
//                                             FAKE_PPT_STATE.crash at once.
//                                             FAKE_PPT_SHOW_RECT="left,top,width,height" puts
//                                             the show window there (default: the whole
//                                             primary screen). What the left button does in the
//                                             show window goes to FAKE_PPT_STATE.mouse, a line
//                                             each: "down x,y", "move x,y" (moves with the
//                                             button held) and "up x,y", in window pixels.
#include <windows.h>

#include <ole2.h>
#include <oleauto.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Our own class identifier for the stand-in.
const CLSID kFakeClsid = {
    0x6c1d2a4e, 0x3b7f, 0x4d6a, {0x9e, 0x21, 0x5a, 0x8c, 0x44, 0x10, 0x7b, 0x33}};
const GUID kFakeLibId = {
    0x6c1d2a4f, 0x3b7f, 0x4d6a, {0x9e, 0x21, 0x5a, 0x8c, 0x44, 0x10, 0x7b, 0x33}};
const wchar_t kClsidText[] = L"{6C1D2A4E-3B7F-4D6A-9E21-5A8C44107B33}";

IID LibraryIid(unsigned long first) {
    return IID{first, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}};
}
const unsigned long kIidFirsts[] = {0x91493442, 0x9149349D, 0x91493450, 0x9149345A, 0x91493453,
                                    0x91493459, 0x91493457, 0x91493454, 0x9149346B};

enum class Kind {
    kApplication,
    kPresentation,
    kSlides,
    kSettings,
    kShowWindow,
    kView,
    kDocumentWindow,
    kSelection,
    kSlideRange,
    kColor
};

struct State {
    int slides = 8;
    int selected = 3;
    bool running = false;
    int position = 0;
    int state = 1;  // running
    int pointerType = 1;
    int color = 0;
    int visible = 0;
    HWND window = nullptr;
    std::string path;
    std::string lastCall;
    std::string held;  // the call that hung or answered late most recently ("hang:Next")
};
State g;

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) out += static_cast<char>(*text);
    return out;
}

void WriteState() {
    if (g.path.empty()) return;
    RECT r{};
    if (g.window) GetWindowRect(g.window, &r);
    std::string tmp = g.path + ".tmp";
    if (FILE* f = std::fopen(tmp.c_str(), "wb")) {
        std::fprintf(f,
                     "pid=%lu running=%d position=%d state=%d pointer=%d color=%d visible=%d "
                     "width=%ld height=%ld last=%s held=%s\n",
                     GetCurrentProcessId(), g.running ? 1 : 0, g.position, g.state, g.pointerType,
                     g.color, g.visible, r.right - r.left, r.bottom - r.top, g.lastCall.c_str(),
                     g.held.c_str());
        std::fclose(f);
        // The test reads the file all the time; while it has it open the move is refused.
        for (int i = 0; i < 200; ++i) {
            if (MoveFileExA(tmp.c_str(), g.path.c_str(), MOVEFILE_REPLACE_EXISTING)) break;
            Sleep(5);
        }
    }
}

// The fail file names a member, optionally followed by " plain": the failure then comes as the
// bare HRESULT with the thread's error object only, instead of an exception record.
bool g_plainFailure = false;

bool ShouldFail(const std::string& member) {
    if (g.path.empty()) return false;
    char text[256] = "";
    FILE* f = std::fopen((g.path + ".fail").c_str(), "rb");
    if (!f) return false;
    size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = 0;
    std::string wanted(text);
    while (!wanted.empty() && (wanted.back() == '\n' || wanted.back() == '\r')) wanted.pop_back();
    g_plainFailure = false;
    const size_t space = wanted.find(' ');
    if (space != std::string::npos) {
        g_plainFailure = wanted.substr(space + 1) == "plain";
        wanted.resize(space);
    }
    return wanted == member;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The hang file: "<member>" hangs every call of it, "<member> <ms>" delays each by that much.
// Returns the delay, -1 for a hang, 0 for no hang.
int HangFor(const std::string& member) {
    if (g.path.empty()) return 0;
    char text[256] = "";
    FILE* f = std::fopen((g.path + ".hang").c_str(), "rb");
    if (!f) return 0;
    size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = 0;
    std::string wanted(text);
    while (!wanted.empty() && (wanted.back() == '\n' || wanted.back() == '\r')) wanted.pop_back();
    int delay = -1;
    const size_t space = wanted.find(' ');
    if (space != std::string::npos) {
        delay = std::atoi(wanted.c_str() + space + 1);
        wanted.resize(space);
    }
    return wanted == member ? delay : 0;
}

// A program that stops answering: the call does not return (its thread serves nothing else
// meanwhile) until the time is up or the exit file appears.
void Hang(const std::string& member, int delay) {
    g.lastCall = (delay < 0 ? "hang:" : "slow:") + member;
    g.held = g.lastCall;
    WriteState();
    const ULONGLONG until = delay < 0 ? ~0ull : GetTickCount64() + static_cast<ULONGLONG>(delay);
    while (GetTickCount64() < until) {
        if (FileExists(g.path + ".exit")) return;
        Sleep(20);
    }
}

// One line of the left button's doings, as the pen of the real program would follow them.
void RecordMouse(const char* what, LPARAM lp) {
    if (g.path.empty()) return;
    if (FILE* f = std::fopen((g.path + ".mouse").c_str(), "ab")) {
        std::fprintf(f, "%s %d,%d\n", what, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        std::fclose(f);
    }
}

// A click on a black or white screen brings the show back, as in the real program.
LRESULT CALLBACK ShowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_LBUTTONDOWN) RecordMouse("down", lp);
    if (m == WM_MOUSEMOVE && (wp & MK_LBUTTON)) RecordMouse("move", lp);
    if (m == WM_LBUTTONUP) RecordMouse("up", lp);
    if (m == WM_LBUTTONUP && (g.state == 3 || g.state == 4)) {
        g.state = 1;
        g.lastCall = "click";
        WriteState();
    }
    return DefWindowProcW(w, m, wp, lp);
}

void StartShow() {
    g.running = true;
    g.position = 1;
    g.state = 1;
    if (!g.window) {
        int left = 0, top = 0;
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        char rect[64] = "";
        if (GetEnvironmentVariableA("FAKE_PPT_SHOW_RECT", rect, sizeof rect)) {
            std::sscanf(rect, "%d,%d,%d,%d", &left, &top, &width, &height);
        }
        g.window = CreateWindowExW(WS_EX_TOPMOST, L"FakeShowWindow", L"Fake Slide Show",
                                   WS_POPUP | WS_VISIBLE, left, top, width, height, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
    }
}

void EndShow() {
    g.running = false;
    g.position = 0;
    if (g.window) DestroyWindow(g.window);
    g.window = nullptr;
}

// Fails the current call the way automation objects do: an HRESULT and error information.
HRESULT Fail(HRESULT hr, const wchar_t* description, EXCEPINFO* excep) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetDescription(const_cast<LPOLESTR>(description));
        create->SetSource(const_cast<LPOLESTR>(L"FakePowerPoint"));
        create->SetGUID(LibraryIid(0x91493442));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    if (excep) {
        std::memset(excep, 0, sizeof *excep);
        excep->bstrDescription = SysAllocString(description);
        excep->bstrSource = SysAllocString(L"FakePowerPoint");
        excep->scode = hr;
        return DISP_E_EXCEPTION;
    }
    return hr;
}

class Object final : public IDispatch, public ISupportErrorInfo {
public:
    explicit Object(Kind kind) : kind_(kind) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || IsLibraryIid(iid)) {
            *out = static_cast<IDispatch*>(this);
        } else if (iid == IID_ISupportErrorInfo) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return (iid == IID_IDispatch || IsLibraryIid(iid)) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            const std::string name = Narrow(names[i]);
            for (size_t k = 0; k < Names().size(); ++k) {
                if (_stricmp(Names()[k], name.c_str()) == 0) ids[i] = static_cast<DISPID>(k + 1);
            }
            if (i == 0 && ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT*) override {
        if (id < 1 || static_cast<size_t>(id) > Names().size()) return DISP_E_MEMBERNOTFOUND;
        const std::string name = Names()[static_cast<size_t>(id - 1)];
        SetErrorInfo(0, nullptr);
        if (const int delay = HangFor(name)) {
            Hang(name, delay);
            if (FileExists(g.path + ".exit")) return RPC_E_SERVERFAULT;
        }
        if (ShouldFail(name)) {
            // A failure code of the program's own interface facility, as its members raise.
            return Fail(static_cast<HRESULT>(0x80048240), L"Told to fail.",
                        g_plainFailure ? nullptr : excep);
        }
        std::vector<int> args;
        for (UINT i = params ? params->cArgs : 0; i > 0; --i) {
            VARIANT v;
            VariantInit(&v);
            if (FAILED(VariantChangeType(&v, &params->rgvarg[i - 1], 0, VT_I4))) {
                return DISP_E_TYPEMISMATCH;
            }
            args.push_back(v.lVal);
        }
        HRESULT hr = Call(name, flags, args, result, excep);
        g.lastCall = name;
        WriteState();
        return hr;
    }

private:
    static bool IsLibraryIid(REFIID iid) {
        for (unsigned long first : kIidFirsts) {
            if (iid == LibraryIid(first)) return true;
        }
        return false;
    }

    const std::vector<const char*>& Names() const {
        static const std::vector<const char*> app = {"ActivePresentation", "ActiveWindow",
                                                     "Visible"};
        static const std::vector<const char*> pres = {"Slides", "SlideShowSettings",
                                                      "SlideShowWindow"};
        static const std::vector<const char*> slides = {"Count"};
        static const std::vector<const char*> settings = {"Run"};
        static const std::vector<const char*> window = {"View", "HWND"};
        static const std::vector<const char*> view = {
            "CurrentShowPosition", "Next",  "Previous",    "Exit",
            "GotoSlide",           "State", "PointerType", "PointerColor"};
        static const std::vector<const char*> doc = {"Selection"};
        static const std::vector<const char*> selection = {"SlideRange"};
        static const std::vector<const char*> range = {"SlideIndex"};
        static const std::vector<const char*> color = {"RGB"};
        switch (kind_) {
            case Kind::kApplication:
                return app;
            case Kind::kPresentation:
                return pres;
            case Kind::kSlides:
                return slides;
            case Kind::kSettings:
                return settings;
            case Kind::kShowWindow:
                return window;
            case Kind::kView:
                return view;
            case Kind::kDocumentWindow:
                return doc;
            case Kind::kSelection:
                return selection;
            case Kind::kSlideRange:
                return range;
            case Kind::kColor:
                return color;
        }
        return app;
    }

    static HRESULT Child(Kind kind, VARIANT* result) {
        if (!result) return S_OK;
        VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = new Object(kind);
        result->pdispVal->AddRef();
        return S_OK;
    }
    static HRESULT Int(int value, VARIANT* result) {
        if (!result) return S_OK;
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = value;
        return S_OK;
    }

    HRESULT Call(const std::string& name, WORD flags, const std::vector<int>& args, VARIANT* result,
                 EXCEPINFO* excep) {
        const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
        const int value = args.empty() ? 0 : args.back();
        const bool showMember =
            kind_ == Kind::kShowWindow || kind_ == Kind::kView || kind_ == Kind::kColor;
        if (showMember && !g.running) {
            return Fail(E_FAIL, L"The slide show has ended.", excep);
        }
        if (name == "ActivePresentation") return Child(Kind::kPresentation, result);
        if (name == "ActiveWindow") return Child(Kind::kDocumentWindow, result);
        if (name == "Visible") {
            if (put) g.visible = value;
            return put ? S_OK : Int(g.visible, result);
        }
        if (name == "Slides") return Child(Kind::kSlides, result);
        if (name == "SlideShowSettings") return Child(Kind::kSettings, result);
        if (name == "SlideShowWindow") {
            if (!g.running) {
                return Fail(E_FAIL, L"SlideShowWindows : Integer out of range.", excep);
            }
            return Child(Kind::kShowWindow, result);
        }
        if (name == "Count") return Int(g.slides, result);
        if (name == "Run") {
            StartShow();
            return Child(Kind::kShowWindow, result);
        }
        if (name == "View") return Child(Kind::kView, result);
        if (name == "HWND") {
            return Int(static_cast<int>(reinterpret_cast<INT_PTR>(g.window)), result);
        }
        if (name == "CurrentShowPosition") return Int(g.position, result);
        if (name == "Next") {
            if (g.position <= g.slides) ++g.position;  // slides+1 is the end screen
            return S_OK;
        }
        if (name == "Previous") {
            if (g.position > 1) --g.position;
            return S_OK;
        }
        if (name == "Exit") {
            EndShow();
            return S_OK;
        }
        if (name == "GotoSlide") {
            if (args.empty()) return DISP_E_BADPARAMCOUNT;
            if (args[0] < 1 || args[0] > g.slides) {
                return Fail(E_INVALIDARG, L"Slides.Item : Integer out of range.", excep);
            }
            g.position = args[0];
            return S_OK;
        }
        if (name == "State") {
            if (put) g.state = value;
            return put ? S_OK : Int(g.state, result);
        }
        if (name == "PointerType") {
            if (put) g.pointerType = value;
            return put ? S_OK : Int(g.pointerType, result);
        }
        if (name == "PointerColor") return Child(Kind::kColor, result);
        if (name == "RGB") {
            if (put) g.color = value;
            return put ? S_OK : Int(g.color, result);
        }
        if (name == "Selection") return Child(Kind::kSelection, result);
        if (name == "SlideRange") return Child(Kind::kSlideRange, result);
        if (name == "SlideIndex") return Int(g.selected, result);
        return DISP_E_MEMBERNOTFOUND;
    }

    Kind kind_;
    LONG refs_ = 0;
};

IDispatch* g_application = nullptr;

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        return g_application->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

bool SetKey(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

std::wstring Wide(const char* text) {
    std::wstring out;
    for (; *text; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return out;
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[64] = L"";
    StringFromGUID2(guid, text, 64);
    return text;
}

// A type library that describes each interface identifier as a dispatch interface, so that the
// standard automation marshaler can carry it between processes.
int Register(const std::wstring& folder) {
    const std::wstring tlb = folder + L"\\fake_powerpoint.tlb";
    ICreateTypeLib2* lib = nullptr;
    if (FAILED(CreateTypeLib2(SYS_WIN32, tlb.c_str(), &lib))) return 2;
    lib->SetGuid(kFakeLibId);
    lib->SetName(const_cast<LPOLESTR>(L"FakePowerPoint"));
    lib->SetVersion(1, 0);
    ITypeLib* stdole = nullptr;
    ITypeInfo* dispatch = nullptr;
    if (FAILED(LoadTypeLib(L"stdole2.tlb", &stdole)) ||
        FAILED(stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatch))) {
        return 3;
    }
    int index = 0;
    for (unsigned long first : kIidFirsts) {
        std::wstring name = L"FakeInterface" + std::to_wstring(index++);
        ICreateTypeInfo* info = nullptr;
        if (FAILED(
                lib->CreateTypeInfo(const_cast<LPOLESTR>(name.c_str()), TKIND_DISPATCH, &info))) {
            return 4;
        }
        info->SetGuid(LibraryIid(first));
        HREFTYPE ref = 0;
        info->AddRefTypeInfo(dispatch, &ref);
        info->AddImplType(0, ref);
        if (FAILED(info->LayOut())) return 5;
        info->Release();
    }
    if (FAILED(lib->SaveAllChanges())) return 6;
    lib->Release();
    dispatch->Release();
    stdole->Release();
    ITypeLib* saved = nullptr;
    if (FAILED(LoadTypeLibEx(tlb.c_str(), REGKIND_NONE, &saved))) return 7;
    HRESULT hr = RegisterTypeLib(saved, const_cast<OLECHAR*>(tlb.c_str()), nullptr);
    saved->Release();
    if (FAILED(hr)) return 8;
    // Dispatch interfaces go through the automation marshaler, with this library's description.
    for (unsigned long first : kIidFirsts) {
        const std::wstring key = L"Interface\\" + GuidText(LibraryIid(first));
        SetKey(key + L"\\ProxyStubClsid32", nullptr, L"{00020420-0000-0000-C000-000000000046}");
        SetKey(key + L"\\TypeLib", nullptr, GuidText(kFakeLibId));
        SetKey(key + L"\\TypeLib", L"Version", L"1.0");
    }
    wchar_t exe[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    bool ok = SetKey(L"Powerpoint.Application\\CLSID", nullptr, kClsidText) &&
              SetKey(std::wstring(L"CLSID\\") + kClsidText + L"\\LocalServer32", nullptr,
                     std::wstring(L"\"") + exe + L"\"") &&
              SetKey(std::wstring(L"CLSID\\") + kClsidText + L"\\ProgID", nullptr,
                     L"Powerpoint.Application");
    return ok ? 0 : 9;
}

int Unregister(const std::wstring& folder) {
    UnRegisterTypeLib(kFakeLibId, 1, 0, 0, SYS_WIN32);
    for (unsigned long first : kIidFirsts) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"Interface\\" + GuidText(LibraryIid(first))).c_str());
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Powerpoint.Application");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
    DeleteFileW((folder + L"\\fake_powerpoint.tlb").c_str());
    return 0;
}

int Serve() {
    char path[MAX_PATH] = "";
    if (GetEnvironmentVariableA("FAKE_PPT_STATE", path, MAX_PATH)) g.path = path;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 10;
    WNDCLASSW wc{};
    wc.lpfnWndProc = ShowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"FakeShowWindow";
    RegisterClassW(&wc);
    g_application = new Object(Kind::kApplication);
    g_application->AddRef();
    static Factory factory;
    DWORD classCookie = 0, activeCookie = 0;
    if (FAILED(CoRegisterClassObject(kFakeClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                     &classCookie))) {
        return 11;
    }
    if (FAILED(
            RegisterActiveObject(g_application, kFakeClsid, ACTIVEOBJECT_STRONG, &activeCookie))) {
        return 12;
    }
    g.lastCall = "started";
    WriteState();
    SetTimer(nullptr, 0, 100, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && !g.path.empty() &&
            GetFileAttributesA((g.path + ".crash").c_str()) != INVALID_FILE_ATTRIBUTES) {
            // Gone at once, its objects never disconnected: callers holding them find the
            // server unavailable. Only the registrations are withdrawn first, since Wine keeps
            // those of a killed process and would hand them out to later callers.
            RevokeActiveObject(activeCookie, nullptr);
            CoRevokeClassObject(classCookie);
            ExitProcess(3);
        }
        if (msg.message == WM_TIMER && !g.path.empty() &&
            GetFileAttributesA((g.path + ".exit").c_str()) != INVALID_FILE_ATTRIBUTES) {
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    RevokeActiveObject(activeCookie, nullptr);
    CoRevokeClassObject(classCookie);
    EndShow();
    g_application->Release();
    CoUninitialize();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "/register") == 0) {
        CoInitialize(nullptr);
        return Register(Wide(argv[2]));
    }
    if (argc >= 3 && std::strcmp(argv[1], "/unregister") == 0) {
        return Unregister(Wide(argv[2]));
    }
    return Serve();
}
