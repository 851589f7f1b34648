// The updater: twice a day it asks the update service whether a newer version exists, asks the
// user, downloads the installer over HTTPS with progress, starts it and ends the program.
//
// The service decides; the program never compares versions. A reply whose "status" is "ok"
// announces an update and its "message" is the installer's address.
//
// Thread contract: UpdateThread runs on a thread of its own; Stop may be called from any thread.
// Everything else runs on the update thread (tests call the steps directly).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/http_client.h"
#include "support/stop_signal.h"

// Window message posted to the progress window for every block: wParam bytes so far, lParam the
// announced total.
inline constexpr unsigned UpdateProgressMessage = 1225;  // WM_USER + 201
// The tray menu's "Shutdown" command, sent to the main window once the installer runs.
inline constexpr unsigned kShutdownCommand = 32773;

// The form's values, read from the running program. Called on the update thread.
class UpdateFacts {
public:
    virtual ~UpdateFacts() = default;

    // Once, at the start of the update thread (the class lookups may need it prepared).
    virtual void EnterUpdateThread() {}
    // The four parts of the product version; false when they cannot be read. Defaults to the
    // running program's own version.
    virtual bool ProductVersion(std::uint16_t parts[4]);
    // The form's values: uid, mid, rom and net.
    virtual std::string HardwareAddress() = 0;
    virtual std::string ComputerName() = 0;
    virtual std::string PresentationPrograms() = 0;
    virtual std::string OfficeInitErrors() = 0;
};

// The dialogue with the user: the question and, when the answer is yes, the download's progress,
// its cancelling and the installer's start. The Windows progress window is the real one; the
// Linux program only asks (a notice) and answers No, so it keeps the download defaults. Called
// on the update thread.
class UpdateDialogue {
public:
    virtual ~UpdateDialogue() = default;

    // Once, at the start of the update thread.
    virtual void EnterUpdateThread() {}
    // Asks whether to update now. True unless the answer was No.
    virtual bool AskToUpdate(const std::string& url) = 0;
    // Around a download: hide the main window (and clear its ShowFlag), show the progress window
    // and clear the cancel request; afterwards hide the progress window again.
    virtual void BeginDownload() {}
    virtual void EndDownload() {}
    // Progress of the download (UpdateProgressMessage on Windows).
    virtual void PostProgress(std::int64_t received, std::int64_t total) {
        (void)received;
        (void)total;
    }
    // Whether the user confirmed cancelling the download.
    virtual bool CancelRequested() { return false; }
    // Full name of the file the installer is saved to; empty when there is no place for it
    // (nothing is downloaded then).
    virtual std::string DownloadFilePath() { return std::string(); }
    // Starts the downloaded installer (the result is not looked at), then ends the program.
    virtual void StartInstaller(const std::string& path) { (void)path; }
    virtual void SendShutdown() {}
};

struct UpdateSettings {
    // The service's full address, ending in "/downloadapp.php". Empty: no update service, the
    // thread sends nothing anywhere.
    std::string serviceUrl;
    int firstWaitMs = 5000;     // before every check
    int periodMs = 43'200'000;  // between cycles (12 hours)
    int checkConnectTimeoutMs = 5000;
    int checkReceiveTimeoutMs = 5000;
    int downloadConnectTimeoutMs = 5000;
    int downloadReceiveTimeoutMs = 3000;
    int connectAttempts = 1;
    int downloadRedirects = 5;  // https redirects followed by the download (the check: none)
};

// The settings this program was built with: the service address from CORVANE_UPDATE_URL, the
// standard waits and time-outs.
UpdateSettings BuiltInUpdateSettings();
// The HTTP client's options this program was built with: the CA file from CORVANE_UPDATE_CA.
HttpClientOptions BuiltInHttpClientOptions();

// The form's fields, in the order they are sent.
struct UpdateForm {
    std::string version, uid, mid, rom, net;
};

// "package=windows.slidora&version=...&uid=...&mid=...&rom=...&net=...": plain concatenation,
// nothing URL-encoded (a blank or "&" in a value goes out as it is).
std::string BuildUpdateForm(const UpdateForm& form);
// "%d.%d" of the version's third and fourth parts: 1.0.1.52 gives "1.52".
std::string FormatUpdateVersion(const std::uint16_t parts[4]);
// Reads the service's reply body (line feeds already removed): the installer address when the
// status is exactly "ok", else empty. Prints "[%s] json error\n" for a reply that is not an
// object with a status and a message. Returns 0 when the status was "ok", -1 otherwise.
int ReadUpdateReply(const std::string& body, std::string* url);

class Updater {
public:
    // The objects must outlive the updater.
    Updater(UpdateFacts& facts, UpdateDialogue& dialogue, HttpClient& http,
            UpdateSettings settings);

    // The thread body: a cycle (UpdateOnce) right away, then one every periodMs, until Stop.
    // With no service address it prints so and returns at once.
    void UpdateThread();
    // One cycle: wait, check, ask, download. 0 when a download ran, -1 otherwise.
    int UpdateOnce();
    // Asks the service. 0 with *url set when it announced an update, -1 otherwise (*url empty).
    int CheckForUpdate(std::string* url);
    // Fetches the installer into the host's download file; when every announced byte arrived,
    // starts it and sends the shutdown command. 0 then, -1 otherwise.
    int DownloadUpdate(const std::string& url);

    // Ends the thread's waits and transfers as soon as possible. Any thread.
    void Stop();
    bool Stopping() const { return stop_.Stopped(); }

    // The waits of the cycle; false when Stop ended them early. Tests replace it.
    std::function<bool(int milliseconds)> wait;

private:
    UpdateFacts& facts_;
    UpdateDialogue& dialogue_;
    HttpClient& http_;
    const UpdateSettings settings_;
    StopSignal stop_;
};
