// The slide-change benchmark of bench/run: how long from the phone's "PptNextPage" (or
// "PptPrevPage") until LibreOffice's show stands on the next slide, seen through the office's
// own API. It runs beside the real program (same network namespace, same HOME and display),
// connects to the office the way the program does, logs in to the program as a phone, starts
// the show through it and then steps between two slides, polling the show's controller after
// each step. Every wait has a deadline.
//
//   bench-office [--port N] [--rounds N] [--password P]
//
// Prints a table and the line "bench-office: slide_next_p50_ms=.. slide_next_p99_ms=..
// slide_prev_p50_ms=..".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <com/sun/star/presentation/XPresentationSupplier.hpp>

#include "platform/posix/uno/office_link.h"
#include "platform/posix/uno/uno_objects.h"

namespace {

using Clock = std::chrono::steady_clock;
using css::uno::Reference;
using css::uno::UNO_QUERY;

void LogLine(const char* line) { std::fprintf(stderr, "bench-office: %s", line); }

// The phone: one logged-in connection to the program.
class Phone {
public:
    ~Phone() {
        if (fd_ >= 0) close(fd_);
    }
    bool Connect(int port, const std::string& password) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
        std::string answer;
        return Send("Login:bench-office," + password) && ReadLine(&answer) &&
               answer == "Login:OK\n";
    }
    bool Send(const std::string& line) {
        std::string data = line + "\n";
        return send(fd_, data.data(), data.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(data.size());
    }

private:
    bool ReadLine(std::string* line) {
        line->clear();
        auto deadline = Clock::now() + std::chrono::seconds(10);
        char c = 0;
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            if (recv(fd_, &c, 1, 0) != 1) return false;
            *line += c;
            if (c == '\n') return true;
        }
        return false;
    }
    int fd_ = -1;
};

// Polls the running show until it stands on `index` (0-based); the time it took, or -1.
double WaitForIndex(OfficeLink& link, const PresentationRef& presentation, sal_Int32 index,
                    Clock::time_point sent) {
    auto deadline = sent + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        bool there = link.Call([&] {
            ControllerRef show = LiveController(presentation);
            return show.is() && show->getCurrentSlideIndex() == index;
        });
        if (there) return std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        // A breath between looks, so that the office's time goes to the program's calls.
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return -1;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    size_t at = std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5));
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    int port = 33589, rounds = 50;
    std::string password = "735";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--port") port = std::atoi(argv[i + 1]);
        if (option == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
        if (option == "--password") password = argv[i + 1];
    }
    OfficeLink link(&LogLine);
    // The office this user runs, with its presentation open.
    PresentationRef presentation;
    auto deadline = Clock::now() + std::chrono::seconds(120);
    while (!presentation.is() && Clock::now() < deadline) {
        try {
            Reference<css::presentation::XPresentationSupplier> document(
                link.Desktop()->getCurrentComponent(), UNO_QUERY);
            if (document.is()) presentation.set(document->getPresentation(), UNO_QUERY);
        } catch (const AutomationError&) {
            // not running yet
        } catch (const css::uno::Exception&) {
            // still loading
        }
        if (!presentation.is()) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (!presentation.is()) {
        std::fprintf(stderr, "bench-office: no presentation open in LibreOffice\n");
        return 1;
    }
    // A show started while the office is still settling in after loading the deck can stay
    // black under Xvfb; a presenter takes longer than this anyway.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    Phone phone;
    if (!phone.Connect(port, password)) {
        std::fprintf(stderr, "bench-office: cannot log in to the program on port %d\n", port);
        return 1;
    }
    // The phone ends any show, starts one and goes to the second slide, from where it steps
    // next and back.
    auto showRuns = [&] { return link.Call([&] { return LiveController(presentation).is(); }); };
    bool ready = phone.Send("PptQuit:");
    auto until = Clock::now() + std::chrono::seconds(10);
    while (ready && showRuns() && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ready = ready && !showRuns() && phone.Send("PptNextPage:");
    until = Clock::now() + std::chrono::seconds(10);
    while (ready && !showRuns() && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!ready || !phone.Send("PptGotoPage:2") ||
        WaitForIndex(link, presentation, 1, Clock::now()) < 0) {
        std::fprintf(stderr, "bench-office: the show did not start through the program\n");
        return 1;
    }
    std::vector<double> next, previous;
    int lost = 0;
    for (int i = 0; i < rounds; ++i) {
        auto sent = Clock::now();
        phone.Send("PptNextPage:");
        double ms = WaitForIndex(link, presentation, 2, sent);
        if (ms < 0) {
            ++lost;
        } else {
            next.push_back(ms);
        }
        sent = Clock::now();
        phone.Send("PptPrevPage:");
        ms = WaitForIndex(link, presentation, 1, sent);
        if (ms < 0) {
            ++lost;
        } else {
            previous.push_back(ms);
        }
    }
    phone.Send("PptQuit:");
    std::printf("| %-54s | %12.1f | %12.1f | %12.1f |\n",
                ("slide change PptNextPage, ms (" + std::to_string(next.size()) + ")").c_str(),
                Percentile(next, 0.5), Percentile(next, 0.99), Percentile(next, 1.0));
    std::printf("| %-54s | %12.1f | %12.1f | %12.1f |\n",
                ("slide change PptPrevPage, ms (" + std::to_string(previous.size()) + ")").c_str(),
                Percentile(previous, 0.5), Percentile(previous, 0.99), Percentile(previous, 1.0));
    if (lost > 0) std::printf("slide changes not seen within 10 s: %d\n", lost);
    std::printf(
        "bench-office: slide_next_p50_ms=%.1f slide_next_p99_ms=%.1f slide_prev_p50_ms=%.1f\n",
        Percentile(next, 0.5), Percentile(next, 0.99), Percentile(previous, 0.5));
    return lost == 0 ? 0 : 1;
}
