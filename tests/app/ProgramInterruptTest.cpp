// The program interrupted while it writes: SIGINT, SIGTERM and SIGHUP leave no hidden temporary
// or backup file, and every output is either the previous file or a complete new one.
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <map>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace AppTest;
namespace fs = std::filesystem;

const std::vector<std::string> kOutputs = {"big.crg", "big.siz", "big.html", "big.pqr"};

std::map<std::string, std::string> ReadOutputs(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& name : kOutputs) contents[name] = ReadFile(folder / name);
    return contents;
}

/// Starts voltra with its streams going to files in logFolder and the three signals at their
/// default action whatever the test inherited (nohup would leave SIGHUP ignored).
pid_t StartVoltra(const std::vector<std::string>& args, const fs::path& logFolder) {
    std::vector<std::string> texts{VOLTRA_PROGRAM};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& t : texts) argv.push_back(t.data());
    argv.push_back(nullptr);
    const std::string outLog = (logFolder / "stdout.txt").string();
    const std::string errLog = (logFolder / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, VOLTRA_PROGRAM, &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) throw std::runtime_error("cannot start " + std::string(VOLTRA_PROGRAM));
    return pid;
}

/// The first hidden entry of folder whose name starts with prefix, or an empty text.
// Files created in a folder, as the kernel queued them: a temporary that lives a millisecond is
// seen even by a poller that a loaded machine wakes late.
class CreatedNames {
public:
    explicit CreatedNames(const fs::path& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE);
    }
    ~CreatedNames() {
        if (fd_ >= 0) ::close(fd_);
    }
    CreatedNames(const CreatedNames&) = delete;
    CreatedNames& operator=(const CreatedNames&) = delete;

    /// Whether a name starting with prefix was created since the last call.
    bool SawPrefix(const std::string& prefix) {
        alignas(inotify_event) char buffer[16384];
        bool seen = false;
        for (ssize_t n; fd_ >= 0 && (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->len > 0 && std::string(event->name).rfind(prefix, 0) == 0) seen = true;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return seen;
    }

private:
    int fd_;
};

std::string HiddenEntry(const fs::path& folder, const std::string& prefix) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) return name;
    }
    return {};
}

class ProgramInterrupt : public ::testing::Test {
protected:
    // One large input and the complete outputs of the interrupted command, shared by the cases.
    static void SetUpTestSuite() {
        folder_ = new TempFolder();
        const std::string script = std::string(VOLTRA_SOURCE_DIR) + "/bench/scripts/make_tiled_structure.py";
        const std::string source = std::string(VOLTRA_CORPUS_DIR) + "/1AFS.pdb";
        const std::string command = "python3 '" + script + "' --source '" + source + "' --atoms 150000 -o '" +
                                    (*folder_ / "big.pdb") + "' 2>'" + (*folder_ / "make.log") + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        fs::create_directory(folder_->Path() / "complete");
        const pid_t pid =
            StartVoltra({"-q", "-a", "amber", "-O", *folder_ / "complete", *folder_ / "big.pdb"}, folder_->Path());
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(folder_->Path() / "stderr.txt");
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static TempFolder* folder_;
};

TempFolder* ProgramInterrupt::folder_ = nullptr;

TEST_F(ProgramInterrupt, NoLeftoversAndEachOutputOldOrComplete) {
    ASSERT_TRUE(folder_ && fs::exists(folder_->Path() / "complete" / "big.pqr"));
    const auto complete = ReadOutputs(folder_->Path() / "complete");
    // Each signal arrives while a different output is being prepared: the templates (written
    // as a group), the report, the PQR file.
    const struct {
        int signalNumber;
        const char* whileWriting;  // the hidden temporary's prefix to wait for
    } cases[] = {{SIGINT, ".big.siz.tmp-"}, {SIGTERM, ".big.html.tmp-"}, {SIGHUP, ".big.pqr.tmp-"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("signal ") + std::to_string(c.signalNumber) + " while " + c.whileWriting);
        const fs::path out = folder_->Path() / ("out-" + std::to_string(c.signalNumber));
        fs::create_directory(out);
        // The previous outputs: another assignment of the same input, with other radii too.
        pid_t pid = StartVoltra({"-q", "-a", "parse", "-O", out.string(), *folder_ / "big.pdb"}, folder_->Path());
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(folder_->Path() / "stderr.txt");
        const auto previous = ReadOutputs(out);
        for (const auto& name : kOutputs) ASSERT_NE(previous.at(name), complete.at(name)) << name;

        CreatedNames created(out);
        pid = StartVoltra({"-q", "-a", "amber", "-O", out.string(), *folder_ / "big.pdb"}, folder_->Path());
        bool sent = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!sent && std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid, &status, WNOHANG) == pid) break;  // finished before we saw the moment
            if (!HiddenEntry(out, c.whileWriting).empty() || created.SawPrefix(c.whileWriting)) {
                ::kill(pid, c.signalNumber);
                sent = true;
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        if (sent) ::waitpid(pid, &status, 0);
        ASSERT_TRUE(sent) << "the run ended before " << c.whileWriting << " appeared";
        // A run that ended on its own between our look and the signal has finished everything.
        const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == c.signalNumber) || finished)
            << "status " << status << "\n"
            << ReadFile(folder_->Path() / "stderr.txt");
        if (finished) {
            for (const auto& name : kOutputs) EXPECT_EQ(ReadOutputs(out).at(name), complete.at(name)) << name;
        }

        EXPECT_EQ(FolderEntries(out), std::set<std::string>(kOutputs.begin(), kOutputs.end()));
        const auto after = ReadOutputs(out);
        for (const auto& name : kOutputs) {
            EXPECT_TRUE(after.at(name) == previous.at(name) || after.at(name) == complete.at(name))
                << name << " is neither the previous file nor the complete new one (" << after.at(name).size()
                << " bytes)";
        }
        // The two templates are one group: both previous or both new.
        EXPECT_EQ(after.at("big.siz") == previous.at("big.siz"), after.at("big.crg") == previous.at("big.crg"));
        // The output being written when the signal was sent is usually still the previous file,
        // but the run may finish renaming it before the signal arrives (a real window on a loaded
        // machine), so only "previous or complete" above is a guarantee.
    }
}

}  // namespace
