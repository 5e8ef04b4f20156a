// The voltra program: Voltra charges and radii for a structure file, from the command line.
#include "ExitCodes.h"
#include "Options.h"
#include "VoltraRun.h"

#include "Common/HelperThread.h"
#include "Common/InterruptCleanup.h"
#include "io/InputBytes.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <pthread.h>
#include <unistd.h>

namespace {

pthread_t mainThread;

// Outputs are written on the main thread only, so the repairs run there: between two of its
// steps, never in the middle of one. A signal that lands on another thread (the PQR formatter)
// is handed on to it.
extern "C" void OnTerminatingSignal(int signalNumber) {
    const int savedErrno = errno;
    if (::gettid() != ::getpid()) {
        ::pthread_kill(mainThread, signalNumber);
        errno = savedErrno;
        return;
    }
    Common::RunInterruptCleanup();
    // Die of the signal itself, so the parent sees what happened (128 + n in a shell).
    std::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
    errno = savedErrno;
}

void InstallInterruptCleanup() {
    mainThread = ::pthread_self();
    struct sigaction action {};
    action.sa_handler = OnTerminatingSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, s);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        if (::sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(s, &action, nullptr);
    }
}

// VOLTRA_MAX_INPUT_BYTES: a byte count, optionally with K, M, G or T (powers of 1024); 0 lifts
// the limit. Returns false for anything else.
bool ParseByteCount(const std::string& text, std::uint64_t& bytes) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 15) return false;
    std::uint64_t value = std::stoull(text.substr(0, digits));
    const std::string suffix = text.substr(digits);
    int shift = 0;
    if (suffix == "K" || suffix == "k") shift = 10;
    else if (suffix == "M" || suffix == "m") shift = 20;
    else if (suffix == "G" || suffix == "g") shift = 30;
    else if (suffix == "T" || suffix == "t") shift = 40;
    else if (!suffix.empty()) return false;
    if (shift > 0 && value > (UINT64_MAX >> shift)) return false;
    bytes = value << shift;
    return true;
}

constexpr const char* kInputLimitVariable = "VOLTRA_MAX_INPUT_BYTES";

}  // namespace

int main(int argc, char** argv) {
    using namespace VoltraApp;
    InstallInterruptCleanup();
    std::ios::sync_with_stdio(false);
    Options options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (const char* limit = std::getenv(kInputLimitVariable)) {
            std::uint64_t bytes = 0;
            if (!ParseByteCount(limit, bytes)) {
                throw UsageError(std::string(kInputLimitVariable) + ": '" + limit +
                                 "' is not a size (bytes, or a number followed by K, M, G or T; 0: no limit)");
            }
            HostIO::SetInputSizeLimit(bytes, std::string("set ") + kInputLimitVariable + " to raise the limit");
        } else {
            HostIO::SetInputSizeLimit(HostIO::kDefaultInputSizeLimit,
                                      std::string("set ") + kInputLimitVariable + " to raise the limit");
        }
    } catch (const UsageError& e) {
        std::cerr << "voltra: " << e.what() << '\n';
        return kExitUsage;
    }
    // Asleep by the time the first two-thread step of the read wakes it.
    Common::KeepAHelperReady();
    options.leaveDocumentToExit = options.inputs.size() == 1;
    return Run(options, std::cout, std::cerr);
}
