// Runs a program as a child process and captures its standard output and error separately.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace AppTest {

struct ProgramRun {
    std::string program;            // absolute path; not searched on PATH
    std::vector<std::string> args;  // without the program name
    std::string workDir;            // empty: the test's own working directory
    std::string stdinPath;          // empty: /dev/null
    std::string stdoutPath;         // empty: captured into ProgramResult::out
    /// Changes to the test's environment: a value sets the variable, nullopt removes it.
    std::map<std::string, std::optional<std::string>> environment;
    std::chrono::seconds timeout{300};
};

struct ProgramResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    int signal = 0;     // the signal that ended it, if one did
    bool timedOut = false;
    std::string out;
    std::string err;
};

/// Throws std::runtime_error when the child cannot be started at all (fork, pipe); a program
/// that cannot be executed shows as exit code 127 with the reason on err.
ProgramResult RunProgram(const ProgramRun& run);

/// A printable account of a run for failure messages: exit status and both streams (cut).
std::string Describe(const ProgramResult& result);

}  // namespace AppTest
