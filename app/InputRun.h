// One input's run of the voltra program: read, prepare, assign, write; and what it found.
#pragma once

#include "AssignmentSummary.h"
#include "Options.h"

#include "HostModel/PreparationReport.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace VoltraApp {

struct InputOutcome {
    std::string input;
    int exitCode = 0;                   // ExitCodes.h
    std::string error;                  // the failure, when exitCode is not 0
    std::string readDescription;        // one line: file, format, model, counts; empty when unread
    std::string assignmentDescription;  // "Charges and radii: ..."
    bool assigned = false;              // a template command ran
    AssignmentSummary summary;          // filled when assigned and shown (not quiet, or a JSON summary)
    HostModel::PreparationReport preparation;
    std::vector<std::string> warnings;  // of reading and assignment
    // The outputs this run was asked for.
    std::optional<std::string> templatePrefix, reportPath, pqrPath, apbsInputPath;
};

using StageCallback = std::function<void(const std::string&)>;

/// Runs what options ask for on options.input in a document of its own; outputs that go to
/// standard output are written to out. Never throws: failures come back in the outcome. Runs of
/// different inputs may go on at once on different threads once PrepareForRuns has returned.
InputOutcome RunInput(const Options& options, std::ostream& out, const StageCallback& stage = {});

/// The process-wide set-up every run relies on, done once before any run starts: the persistence
/// root (templates are found from it) and the property names the runs read.
void PrepareForRuns(const Options& options);

}  // namespace VoltraApp
