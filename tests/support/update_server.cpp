#include "update_server.h"

#ifdef _WIN32
#include <windows.h>

#include <wincrypt.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <filesystem>
#include <sstream>

#include "file_text.h"
#include "wait_until.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace {

std::atomic<int> g_servers{0};

std::string ReadWhole(const std::string& path) { return ReadFileText(path, "<missing>"); }

// Asks the server to end (it answers first); errors do not matter.
class Discard : public HttpHandler {
public:
    bool OnResponse(const HttpResponseHead&) override { return true; }
    bool OnData(const char*, std::size_t) override { return true; }
};

#ifdef _WIN32
long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

// The certificate's DER bytes from its PEM text; empty on failure.
std::string DerFromPem(const std::string& pem) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                              nullptr)) {
        return std::string();
    }
    std::string der(size, '\0');
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER,
                              reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr)) {
        return std::string();
    }
    der.resize(size);
    return der;
}

// The user's own trusted root certificates (the registry store, which the system's
// certificate chains consult).
HCERTSTORE OpenUserRoots() {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                         L"Root");
}

bool TrustCertificate(const std::string& der) {
    HCERTSTORE store = OpenUserRoots();
    if (store == nullptr) return false;
    const BOOL added = CertAddEncodedCertificateToStore(
        store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(store, 0);
    return added != FALSE;
}

void DistrustCertificate(const std::string& der) {
    HCERTSTORE store = OpenUserRoots();
    if (store == nullptr) return;
    PCCERT_CONTEXT wanted =
        CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                     static_cast<DWORD>(der.size()));
    if (wanted != nullptr) {
        PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                          CERT_FIND_EXISTING, wanted, nullptr);
        if (found != nullptr) CertDeleteCertificateFromStore(found);  // frees `found`
        CertFreeCertificateContext(wanted);
    }
    CertCloseStore(store, 0);
}
#else
long CurrentProcessId() { return static_cast<long>(getpid()); }
#endif

}  // namespace

bool UpdateServer::Start(std::string* why) {
    unixDir_ = std::string(CORVANE_BINARY_DIR) + "/update-server/" +
               std::to_string(CurrentProcessId()) + "-" + std::to_string(++g_servers);
#ifdef _WIN32
    localDir_ = "Z:" + unixDir_;  // Wine's drive for the Unix root
#else
    localDir_ = unixDir_;
#endif
    std::error_code ignored;
    std::filesystem::remove_all(localDir_, ignored);
    std::filesystem::create_directories(localDir_, ignored);
    const std::string script = std::string(CORVANE_SOURCE_DIR) + "/tests/support/update_server.py";
#ifdef _WIN32
    // Wine starts a Unix program given by its Unix path; its handle cannot be waited for, so the
    // server ends on request or with this process.
    std::string command = "/usr/bin/python3 " + script + " " + unixDir_;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        *why = "cannot start " + command;
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
#else
    const char* argv[] = {"python3", script.c_str(), unixDir_.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "python3", nullptr, nullptr, const_cast<char* const*>(argv), environ) !=
        0) {
        *why = "cannot start python3 " + script;
        return false;
    }
    pid_ = pid;
#endif
    // Certificates are made and sockets opened first; the ports file comes last.
    std::string ports;
    if (!WaitUntil([&] { return (ports = ReadWhole(localDir_ + "/ports")) != "<missing>"; },
                   std::chrono::seconds(60))) {
        *why = "the update server did not come up (" + unixDir_ + ")";
        return false;
    }
    std::istringstream lines(ports);
    std::string name;
    int port = 0;
    while (lines >> name >> port) ports_.emplace_back(name, port);
#ifdef _WIN32
    certificate_ = DerFromPem(ReadWhole(localDir_ + "/trusted.pem"));
    if (certificate_.empty() || !TrustCertificate(certificate_)) {
        *why = "cannot add the test certificate to the user's trusted roots";
        return false;
    }
    trusted_ = true;
#endif
    return true;
}

std::unique_ptr<UpdateServer> UpdateServer::Started(std::string* why) {
    auto server = std::make_unique<UpdateServer>();
    if (!server->Start(why)) server.reset();
    return server;
}

UpdateServer::~UpdateServer() {
    if (!ports_.empty()) {
        auto client = CreateHttpClient(ClientOptions());
        HttpRequest request;
        request.url = Url("https", "/quit");
        request.connectTimeoutMs = request.receiveTimeoutMs = 2000;
        Discard discard;
        std::string error;
        client->Exchange(request, discard, &error);
    }
#ifdef _WIN32
    if (trusted_) DistrustCertificate(certificate_);
#else
    if (pid_ > 0) {
        kill(static_cast<pid_t>(pid_), SIGTERM);
        int status = 0;
        waitpid(static_cast<pid_t>(pid_), &status, 0);
    }
#endif
    std::error_code ignored;
    if (!localDir_.empty()) std::filesystem::remove_all(localDir_, ignored);
}

int UpdateServer::Port(const std::string& listener) const {
    for (const auto& [name, port] : ports_) {
        if (name == listener) return port;
    }
    return 0;
}

std::string UpdateServer::Url(const std::string& listener, const std::string& path) const {
    const char* scheme = listener == "http" ? "http" : "https";
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(Port(listener)) + path;
}

HttpClientOptions UpdateServer::ClientOptions() const {
    HttpClientOptions options;
    options.caFile = unixDir_ + "/trusted.pem";  // Windows ignores it: the certificate is trusted
    options.systemProxy = false;
    return options;
}

std::string UpdateServer::ReadFile(const std::string& name) const {
    return ReadWhole(localDir_ + "/" + name);
}

std::vector<std::string> UpdateServer::Requests() const {
    std::vector<std::string> requests;
    std::istringstream lines(ReadFile("requests") == "<missing>" ? "" : ReadFile("requests"));
    for (std::string line; std::getline(lines, line);) requests.push_back(line);
    return requests;
}

std::string UpdateServer::LocalPath(const std::string& name) const {
    return localDir_ + "/" + name;
}
