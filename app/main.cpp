// The voltra program: Voltra charges and radii for a structure file, from the command line.
#include "ExitCodes.h"
#include "Options.h"
#include "VoltraRun.h"

#include "Common/InterruptCleanup.h"
#include "io/InputBytes.h"

#include <cerrno>
#include <csignal>
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

}  // namespace

int main(int argc, char** argv) {
    using namespace VoltraApp;
    InstallInterruptCleanup();
    std::ios::sync_with_stdio(false);
    Options options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "voltra: " << e.what() << '\n';
        return kExitUsage;
    }
    return Run(options, std::cout, std::cerr);
}
