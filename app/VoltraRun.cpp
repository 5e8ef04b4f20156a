#include "VoltraRun.h"
#include "Version.h"

#include "AssignmentSummary.h"
#include "ExitCodes.h"
#include "InputRun.h"
#include "Progress.h"
#include "SummaryJson.h"

#include "Common/AtomicFileWriter.h"
#include "Common/Exception.h"

#include <algorithm>
#include <atomic>
#include <boost/format.hpp>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace VoltraApp {
namespace {

// Several inputs exit with the most severe of their statuses: an internal error (a bug) first,
// then outputs that could not be written, commands refused, inputs that could not be read.
int Severity(int code) {
    switch (code) {
        case kExitSuccess: return 0;
        case kExitInputError: return 1;
        case kExitCommandRefused: return 2;
        case kExitOutputError: return 3;
        case kExitUsage: return 4;
        default: return 5;  // kExitInternalError and anything unforeseen
    }
}

int Worst(int a, int b) { return Severity(b) > Severity(a) ? b : a; }

double NetCharge(const AssignmentSummary& summary) {
    double total = 0.0;
    for (const auto& molecule : summary.molecules) total += molecule.netCharge;
    return total;
}

// Error messages about the input usually start with its name; those that do not get it in front
// when several inputs share the output.
std::string ErrorLine(const InputOutcome& outcome, bool nameInput) {
    const bool named = outcome.error.rfind(outcome.input, 0) == 0;
    return "voltra: " + (nameInput && !named ? outcome.input + ": " : std::string()) + outcome.error;
}

void PrintOutcome(std::ostream& err, const InputOutcome& outcome, bool quiet, bool nameInput) {
    if (outcome.exitCode != kExitSuccess) {
        err << ErrorLine(outcome, nameInput) << '\n';
        return;
    }
    if (quiet) return;
    err << "voltra: " << outcome.readDescription << '\n';
    std::ostringstream preparation;
    PrintPreparation(preparation, outcome.preparation);
    if (!preparation.str().empty()) err << "voltra: preparation:\n" << preparation.str();
    if (outcome.assigned) {
        err << "voltra: " << outcome.assignmentDescription << '\n';
        PrintSummary(err, outcome.summary);
    }
    for (const auto& warning : outcome.preparation.warnings) err << "voltra: warning: " << warning << '\n';
    for (const auto& warning : outcome.warnings) err << "voltra: warning: " << warning << '\n';
}

// The closing lines of a run over several inputs: one per input, in command-line order.
void PrintFileLines(std::ostream& err, const std::vector<InputOutcome>& outcomes) {
    const auto failed = std::count_if(outcomes.begin(), outcomes.end(),
                                      [](const InputOutcome& o) { return o.exitCode != kExitSuccess; });
    err << "voltra: " << outcomes.size() << " inputs, " << outcomes.size() - static_cast<std::size_t>(failed)
        << " done, " << failed << " failed\n";
    for (const auto& outcome : outcomes) {
        err << "  " << outcome.input << ": ";
        if (outcome.exitCode != kExitSuccess) {
            err << "failed (exit " << outcome.exitCode << "): " << outcome.error << '\n';
        } else if (outcome.assigned) {
            err << "ok, " << outcome.summary.atoms << " atoms, net charge "
                << boost::format("%.2f") % NetCharge(outcome.summary) << " e";
            if (outcome.summary.missingAtoms > 0) err << ", " << outcome.summary.missingAtoms << " left Missing";
            err << '\n';
        } else {
            err << "ok, read only\n";
        }
    }
}

int WriteSummaryJson(const std::string& path, const std::vector<InputOutcome>& outcomes, std::ostream& out,
                     std::ostream& err) {
    const std::string text = SummaryJsonText(outcomes);
    if (path == "-") {
        out << text;
        out.flush();
        if (out) return kExitSuccess;
        err << "voltra: summary json: cannot write to standard output\n";
        return kExitOutputError;
    }
    try {
        Common::WriteFileAtomically(path, text);
    } catch (const Common::Exception& e) {
        err << "voltra: summary json: " << e.what() << '\n';
        return kExitOutputError;
    }
    return kExitSuccess;
}

std::size_t JobCount(const Options& options) {
    std::size_t jobs = options.jobs > 0 ? static_cast<std::size_t>(options.jobs) : std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(jobs, 1, options.inputs.size());
}

// Each input in a document of its own; workers take the next input until none is left.
std::vector<InputOutcome> RunInputs(const Options& options, std::ostream& out) {
    const std::size_t count = options.inputs.size();
    std::vector<InputOutcome> outcomes(count);
    Progress progress(Progress::ShouldShow(options.quiet));
    std::mutex progressMutex;
    std::size_t done = 0;
    auto showProgress = [&] {
        progress.Stage((boost::format("%d of %d inputs done, %d to do") % done % count % (count - done)).str());
    };
    showProgress();
    if (count == 1) {
        outcomes[0] = RunInput(OptionsForInput(options, 0), out,
                               [&progress](const std::string& stage) { progress.Stage(stage); });
        progress.Finish();
        return outcomes;
    }
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            // Outputs of several inputs all go to files (--out-dir): nothing reaches this stream.
            std::ostringstream unused;
            outcomes[i] = RunInput(OptionsForInput(options, i), unused);
            std::lock_guard<std::mutex> lock(progressMutex);
            ++done;
            showProgress();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t k = 1; k < JobCount(options); ++k) workers.emplace_back(work);
    work();
    for (auto& worker : workers) worker.join();
    progress.Finish();
    return outcomes;
}

}  // namespace

int Run(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.showHelp) {
        out << HelpText();
        return kExitSuccess;
    }
    if (options.showVersion) {
        out << "voltra " << kVersion << '\n';
        return kExitSuccess;
    }
    try {
        PrepareForRuns(options);
    } catch (const UsageError& e) {
        err << "voltra: " << e.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& e) {
        err << "voltra: internal error: " << e.what() << '\n';
        return kExitInternalError;
    }
    const std::vector<InputOutcome> outcomes = RunInputs(options, out);
    const bool several = outcomes.size() > 1;
    int status = kExitSuccess;
    for (const auto& outcome : outcomes) {
        PrintOutcome(err, outcome, options.quiet, several);
        status = Worst(status, outcome.exitCode);
    }
    if (several && !options.quiet) PrintFileLines(err, outcomes);
    if (options.summaryJsonPath) status = Worst(status, WriteSummaryJson(*options.summaryJsonPath, outcomes, out, err));
    return status;
}

}  // namespace VoltraApp
