#include "app/win32/update_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <mutex>

#include "app/win32/program.h"
#include "resource.h"
#include "shell/application.h"
#include "shell/update_facts.h"
#include "support/log.h"
#include "update/update_worker.h"

namespace {

// Posted by the update thread to the update window around a download.
constexpr UINT kBeginDownloadMessage = WM_APP + 20;
constexpr UINT kEndDownloadMessage = WM_APP + 21;

constexpr wchar_t kCaption[] = L"CorvaneRemote Update";
constexpr wchar_t kQuestionCaption[] = L"Slidora Update";
constexpr wchar_t kQuestionFallback[] = L"CorvaneServer Has New Version. \r\n\r\n Update ? ";
constexpr wchar_t kCancelQuestion[] = L"Cancel Update ? ";
constexpr wchar_t kCancelCaption[] = L"CorvaneServer";
constexpr POINT kPlace{20, 10};
// How long the window's destruction waits for the update thread before leaving it to end alone.
constexpr ULONGLONG kStopWaitMs = 3000;

// The window whose Enter and Escape the keyboard hook turns into dialog commands.
HWND g_keyboardWindow = nullptr;

bool IsQuestionBox(HWND window) {
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    return lstrcmpW(className, L"#32770") == 0;
}

BOOL CALLBACK AnswerNo(HWND window, LPARAM) {
    if (IsQuestionBox(window)) PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
    return TRUE;
}

}  // namespace

// The updater's dialogue with the user through this program's windows: the question, the
// progress and the shutdown command. Called on the update thread, except Release and
// DismissQuestion. Once released (the window is being destroyed) it touches no window: a thread
// still running then finds nothing to reach.
class Win32UpdateDialogue : public UpdateDialogue {
public:
    Win32UpdateDialogue(HWND window, HWND mainWindow, std::atomic<std::int32_t>& cancel)
        : window_(window), mainWindow_(mainWindow), cancel_(&cancel) {}

    // User-interface thread.
    void Release() {
        std::lock_guard<std::mutex> guard(gate_);
        window_ = mainWindow_ = nullptr;
        cancel_ = nullptr;
    }
    // User-interface thread: answers an open question No.
    void DismissQuestion() {
        const DWORD thread = threadId_.load();
        if (thread != 0) EnumThreadWindows(thread, AnswerNo, 0);
    }

    void EnterUpdateThread() override { threadId_ = GetCurrentThreadId(); }

    bool AskToUpdate(const std::string&) override {
        // The question comes from the English string table unless the user's language is
        // Chinese (PRC).
        ChooseInterfaceLanguage(LANGIDFROMLCID(GetUserDefaultLCID()));
        std::wstring text = LoadText(IDS_UPDATE_QUESTION);
        if (text.empty()) text = kQuestionFallback;
        // This thread has no active window: the box stands alone, on top.
        const int answer = MessageBoxW(GetActiveWindow(), text.c_str(), kQuestionCaption,
                                       MB_YESNO | MB_TOPMOST | MB_SETFOREGROUND);
        return answer != IDNO;
    }
    void BeginDownload() override {
        std::lock_guard<std::mutex> guard(gate_);
        if (!window_) return;
        cancel_->store(0);
        PostMessageW(window_, kBeginDownloadMessage, 0, 0);
    }
    void EndDownload() override {
        std::lock_guard<std::mutex> guard(gate_);
        if (window_) PostMessageW(window_, kEndDownloadMessage, 0, 0);
    }
    void PostProgress(std::int64_t received, std::int64_t total) override {
        std::lock_guard<std::mutex> guard(gate_);
        if (window_) {
            PostMessageW(window_, UpdateProgressMessage, static_cast<WPARAM>(received),
                         static_cast<LPARAM>(total));
        }
    }
    bool CancelRequested() override {
        std::lock_guard<std::mutex> guard(gate_);
        return cancel_ == nullptr || cancel_->load() != 0;
    }
    std::string DownloadFilePath() override { return InstallerDownloadPath(); }
    void StartInstaller(const std::string& path) override {
        ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    void SendShutdown() override {
        std::lock_guard<std::mutex> guard(gate_);
        // Posted rather than sent: the shutdown destroys this window, whose destruction waits
        // for this thread, which would still be waiting for the shutdown to be handled.
        if (mainWindow_) PostMessageW(mainWindow_, WM_COMMAND, MAKEWPARAM(ID_TRAY_SHUTDOWN, 0), 0);
    }

private:
    std::mutex gate_;
    HWND window_;
    HWND mainWindow_;
    std::atomic<std::int32_t>* cancel_;
    std::atomic<DWORD> threadId_{0};
};

std::string InstallerDownloadPath() {
    char folder[MAX_PATH] = "";
    // 0 is a failure; a length beyond the buffer means the folder did not fit and the buffer
    // holds nothing usable. Either way the file name alone would put the installer at the root
    // of the current drive.
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || folder[0] == '\0') return std::string();
    // The folder ends in a backslash already; the doubled one is harmless.
    return std::string(folder, length) + "\\Slidora.exe";
}

CUpdateDlg::CUpdateDlg(CorvaneApplication& application, UpdateSettings settings,
                       HttpClientOptions httpOptions)
    : DialogWindow(IDD_UPDATE),
      application_(application),
      settings_(std::move(settings)),
      httpOptions_(std::move(httpOptions)) {}

CUpdateDlg::~CUpdateDlg() {
    // A window still open (a test that never destroyed it) ends its thread first.
    if (handle()) End(0);
}

bool CUpdateDlg::CreateHidden(HWND mainWindow) {
    mainWindow_ = mainWindow;
    return Create(mainWindow);
}

std::wstring CUpdateDlg::ProgressText(int percent) {
    if (percent >= 100) return L"Download Complete, Wait For Installing.";
    wchar_t text[64];
    swprintf(text, sizeof text / sizeof text[0], L"Downloading\uFF0CComplete %d%%", percent);
    return text;
}

bool CUpdateDlg::OnInitDialog() {
    HWND window = handle();
    if (!mainWindow_) mainWindow_ = GetParent(window);  // a pop-up's parent is its owner
    SetWindowPos(window, HWND_TOPMOST, kPlace.x, kPlace.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowTextW(window, kCaption);
    HWND progress = Item(IDC_UPDATE_PROGRESS);
    SendMessageW(progress, PBM_SETSTEP, 1, 0);
    SendMessageW(progress, PBM_SETRANGE32, 0, 100);
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    // Enter and Escape reach this modeless window through the hook: the main window's modal
    // loop only translates its own keys.
    g_keyboardWindow = window;
    keyboardHook_ = SetWindowsHookExW(WH_GETMESSAGE, KeyboardHook, nullptr, GetCurrentThreadId());

    auto facts = std::make_unique<ApplicationUpdateFacts>(application_);
    auto dialogue =
        std::make_unique<Win32UpdateDialogue>(window, mainWindow_, UpdateCancelRequested);
    facts_ = facts.get();
    dialogue_ = dialogue.get();
    worker_ = UpdateWorker::Start(std::move(facts), std::move(dialogue),
                                  CreateHttpClient(httpOptions_), settings_);
    return true;
}

LRESULT CALLBACK CUpdateDlg::KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && g_keyboardWindow != nullptr &&
        msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
        (msg->hwnd == g_keyboardWindow || IsChild(g_keyboardWindow, msg->hwnd)) &&
        IsDialogMessageW(g_keyboardWindow, msg)) {
        msg->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CUpdateDlg::OnCommand(int id, int, HWND) {
    // Enter, Escape and the caption's close box.
    if (id != IDOK && id != IDCANCEL) return;
    if (MessageBoxW(handle(), kCancelQuestion, kCancelCaption, MB_YESNO) == IDNO) return;
    ShowWindow(handle(), SW_HIDE);
    UpdateCancelRequested = 1;
}

void CUpdateDlg::OnProgress(WPARAM received, LPARAM total) {
    const auto bytes = static_cast<std::int64_t>(received);
    const auto all = static_cast<std::int64_t>(total);
    if (all <= 0) return;
    const int percent = static_cast<int>(bytes * 100 / all);
    SendMessageW(Item(IDC_UPDATE_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    SetDlgItemTextW(handle(), IDC_UPDATE_TEXT, ProgressText(percent).c_str());
}

void CUpdateDlg::OnDestroy() {
    if (keyboardHook_) UnhookWindowsHookEx(keyboardHook_);
    keyboardHook_ = nullptr;
    g_keyboardWindow = nullptr;
    if (!worker_) return;
    // Waits, transfers and the question end at once; the thread is joined. Should it still be
    // busy after a while (a system call that does not return), it is left to end alone: the
    // worker keeps what it uses alive, and the released host no longer reaches this program.
    worker_->Stop();
    const ULONGLONG end = GetTickCount64() + kStopWaitMs;
    bool finished = false;
    while (!(finished = worker_->WaitFinished(50)) && GetTickCount64() < end) {
        dialogue_->DismissQuestion();
        // Messages other threads send to this one (a question box being activated sends some)
        // are handled meanwhile; posted ones wait.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    dialogue_->Release();
    facts_->Forget();
    if (finished) {
        worker_->Join();
    } else {
        worker_->Detach();
        LogPrintf("The update thread did not end in time; it ends on its own.\n");
    }
    worker_.reset();
    dialogue_ = nullptr;
    facts_ = nullptr;
}

bool CUpdateDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    switch (message) {
        case UpdateProgressMessage:
            OnProgress(wParam, lParam);
            SetResult(0);
            *result = TRUE;
            return true;
        case kBeginDownloadMessage:
            // The main window hides (and stays hidden after the download; the tray icon brings
            // it back) while the progress window shows.
            application_.ShowFlag = 0;
            if (mainWindow_) ShowWindow(mainWindow_, SW_HIDE);
            ShowWindow(handle(), SW_SHOW);
            *result = TRUE;
            return true;
        case kEndDownloadMessage:
            ShowWindow(handle(), SW_HIDE);
            *result = TRUE;
            return true;
        case WM_DESTROY:
            OnDestroy();
            return false;
        default:
            return false;
    }
}
