// The update window: a small top-most progress window (template IDD_UPDATE) shown only while an
// installer downloads, and the owner of the update thread. The main window creates it, hidden,
// while it initialises; its destruction at program exit ends the update thread.
//
// Every method runs on the user-interface thread. The update thread reaches the window only by
// posted messages and through UpdateCancelRequested.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/win32/dialog_window.h"
#include "platform/http_client.h"
#include "update/updater.h"

class ApplicationUpdateFacts;
class CorvaneApplication;
class UpdateWorker;
class Win32UpdateDialogue;

// Where the installer is saved: the user's temporary folder followed by "\Slidora.exe", or empty
// when the system names no temporary folder (nothing is downloaded then). Any thread.
std::string InstallerDownloadPath();

class CUpdateDlg : public DialogWindow {
public:
    // The application gives the form's values and is the main window's ShowFlag; it must outlive
    // the window. The settings and client options default to the ones the program was built with.
    explicit CUpdateDlg(CorvaneApplication& application,
                        UpdateSettings settings = BuiltInUpdateSettings(),
                        HttpClientOptions httpOptions = BuiltInHttpClientOptions());
    ~CUpdateDlg() override;

    // Creates the window hidden and owned by the main window; its initialisation starts the
    // update thread. False when the window could not be made.
    bool CreateHidden(HWND mainWindow);

    // 1 once the user confirmed "Cancel Update ? "; cleared when a download starts. Read by the
    // update thread after every block.
    std::atomic<std::int32_t> UpdateCancelRequested{0};

    // The progress text for `percent` (UTF-16): "Downloading，Complete 50%", and from 100 on
    // "Download Complete, Wait For Installing.".
    static std::wstring ProgressText(int percent);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void OnProgress(WPARAM received, LPARAM total);
    void OnDestroy();
    static LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam);

    CorvaneApplication& application_;
    const UpdateSettings settings_;
    const HttpClientOptions httpOptions_;
    HWND mainWindow_ = nullptr;
    std::shared_ptr<UpdateWorker> worker_;
    Win32UpdateDialogue* dialogue_ = nullptr;  // owned by worker_
    ApplicationUpdateFacts* facts_ = nullptr;  // owned by worker_
    HHOOK keyboardHook_ = nullptr;
};
