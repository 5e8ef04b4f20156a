#include "support/ProgramRunner.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace AppTest {
namespace {

// The child's environment as "NAME=value" strings: ours, with the run's changes applied.
std::vector<std::string> ChildEnvironment(const std::map<std::string, std::optional<std::string>>& changes) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (changes.count(name) == 0) entries.push_back(text);
    }
    for (const auto& [name, value] : changes) {
        if (value) entries.push_back(name + "=" + *value);
    }
    return entries;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void ChildFail(const char* what) {
    const int saved = errno;
    const char* reason = std::strerror(saved);
    (void)!::write(STDERR_FILENO, what, std::strlen(what));
    (void)!::write(STDERR_FILENO, ": ", 2);
    (void)!::write(STDERR_FILENO, reason, std::strlen(reason));
    (void)!::write(STDERR_FILENO, "\n", 1);
    ::_exit(127);
}

}  // namespace

ProgramResult RunProgram(const ProgramRun& run) {
    std::vector<std::string> argvTexts{run.program};
    argvTexts.insert(argvTexts.end(), run.args.begin(), run.args.end());
    std::vector<char*> argv = PointersTo(argvTexts);
    std::vector<std::string> envTexts = ChildEnvironment(run.environment);
    std::vector<char*> envp = PointersTo(envTexts);
    const std::string stdinPath = run.stdinPath.empty() ? "/dev/null" : run.stdinPath;

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) ::close(fd);
        throw std::runtime_error("fork: " + std::string(std::strerror(errno)));
    }
    if (pid == 0) {
        if (::dup2(errPipe[1], STDERR_FILENO) < 0) ::_exit(127);
        if (run.stdoutPath.empty()) {
            if (::dup2(outPipe[1], STDOUT_FILENO) < 0) ChildFail("dup2");
        } else {
            const int out = ::open(run.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0) ChildFail(run.stdoutPath.c_str());
            if (::dup2(out, STDOUT_FILENO) < 0) ChildFail("dup2");
        }
        const int in = ::open(stdinPath.c_str(), O_RDONLY);
        if (in < 0) ChildFail(stdinPath.c_str());
        if (::dup2(in, STDIN_FILENO) < 0) ChildFail("dup2");
        if (!run.workDir.empty() && ::chdir(run.workDir.c_str()) != 0) ChildFail(run.workDir.c_str());
        ::execve(run.program.c_str(), argv.data(), envp.data());
        ChildFail(run.program.c_str());
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    ProgramResult result;
    const auto deadline = std::chrono::steady_clock::now() + run.timeout;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const auto& fd : fds) {
        if (fd.fd >= 0) ::close(fd.fd);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

std::string Describe(const ProgramResult& result) {
    // Programs tend to say what went wrong last: keep the start and the end of long output.
    auto cut = [](const std::string& text) {
        constexpr std::size_t kHead = 1000;
        constexpr std::size_t kTail = 3000;
        if (text.size() <= kHead + kTail) return text;
        return text.substr(0, kHead) + "\n[... " + std::to_string(text.size() - kHead - kTail) + " bytes ...]\n" +
               text.substr(text.size() - kTail);
    };
    std::string text = "exit code " + std::to_string(result.exitCode);
    if (result.signal) text += ", killed by signal " + std::to_string(result.signal);
    if (result.timedOut) text += ", timed out";
    text += "\n--- stdout ---\n" + cut(result.out) + "\n--- stderr ---\n" + cut(result.err);
    return text;
}

}  // namespace AppTest
