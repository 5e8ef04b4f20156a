#include "InputRun.h"
#include "TemplatesFolder.h"

#include "ApbsInput.h"
#include "ExitCodes.h"
#include "PqrWriter.h"
#include "StructureInput.h"

#include "commands/CmdApplyAmberPlusDefaultTemplates.h"
#include "commands/CmdApplyDefaultTemplates.h"
#include "commands/CmdApplyForcefieldTemplates.h"
#include "commands/CmdApplyParseTemplates.h"
#include "commands/CmdZeroVoltraCharges.h"
#include "export/TemplateExporter.h"
#include "report/VoltraReport.h"
#include "templates/PropertyVocabulary.h"

#include "Common/AtomicFileWriter.h"
#include "Common/Exception.h"
#include "Common/StringConversion.h"
#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/PropertyStore.h"
#include "Persistence/Persistence.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace VoltraApp {
namespace {

/// An error of this run that ends it with a given exit status.
class RunError : public std::runtime_error {
public:
    RunError(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
    ExitCode Code() const { return code_; }

private:
    ExitCode code_;
};

std::string ExecutableFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

// Templates are found at <root>/../share/voltra/templates: the option, the environment, or the
// program's own folder (bin/ beside share/ in the build tree and in an installed tree).
void InitialisePersistence(const Options& options) {
    std::string root;
    if (options.templatesDir) {
        root = PersistenceRootForTemplates(*options.templatesDir);
    } else if (options.root) {
        root = *options.root;
    } else if (const char* env = std::getenv("VOLTRA_ROOT"); env && *env) {
        root = env;
    } else {
        root = ExecutableFolder();
    }
    Persistence::Initialize(Common::Path(Common::ToWString(root)));
}

std::unique_ptr<HostModel::Command> MakeAssignmentCommand(Assignment assignment) {
    switch (assignment) {
        case Assignment::Default: return std::make_unique<Voltra::CmdApplyDefaultTemplates>();
        case Assignment::AmberPlusDefault: return std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>();
        case Assignment::Parse: return std::make_unique<Voltra::CmdApplyParseTemplates>();
        case Assignment::ForceField: return std::make_unique<Voltra::CmdApplyForcefieldTemplates>();
        case Assignment::None: return nullptr;
    }
    return nullptr;
}

// Runs a command as the host does: offered only when suitable, its own message on failure.
void RunCommand(HostModel::Command& command, HostModel::ChemDoc& doc, const std::string& whyUnsuitable) {
    if (!command.IsSuitable(&doc)) {
        throw RunError(kExitCommandRefused, std::string(command.GetName()) + ": " + whyUnsuitable);
    }
    bool done = false;
    try {
        done = doc.Execute(command);
    } catch (const Common::Exception&) {
        throw;
    } catch (const std::runtime_error& e) {
        // The host's preparation steps (a pKa program missing or failing) say what went wrong.
        throw RunError(kExitCommandRefused, std::string(command.GetName()) + ": " + e.what());
    }
    if (!done) {
        throw RunError(kExitCommandRefused, std::string(command.GetName()) + ": " + command.GetErrorMessage());
    }
}

std::string WhyUnsuitable(Assignment assignment) {
    if (assignment == Assignment::ForceField) {
        return "the structure carries no force-field charges (give a PQR file and --forcefield=NAME)";
    }
    return "the structure has no atoms";
}

// Module refusals carry the module's own messages; file-system failures are the writer's type.
ExitCode ClassifyModuleError(const Common::Exception& e) {
    return dynamic_cast<const Common::FileWriteError*>(&e) ? kExitOutputError : kExitCommandRefused;
}

void WriteTemplates(const HostModel::ChemDoc& doc, const std::string& prefix) {
    try {
        Voltra::TemplateExporter::ExportFrom(doc, prefix);
    } catch (const Common::Exception& e) {
        throw RunError(ClassifyModuleError(e), std::string("templates: ") + e.what());
    }
}

// A full disk or a closed pipe must not pass for success.
void CheckStandardOutput(std::ostream& out, const char* what) {
    out.flush();
    if (!out) throw RunError(kExitOutputError, std::string(what) + ": cannot write to standard output");
}

// text is the page, made beforehand when the report goes to a file.
void WriteReport(const HostModel::ChemDoc& doc, const std::string& path, std::ostream& out, bool suitable,
                 std::future<std::string>& text) {
    if (!suitable) throw RunError(kExitCommandRefused, "report: no template was applied to the structure");
    if (path == "-") {
        Voltra::VoltraReport::Generate(out, doc);
        CheckStandardOutput(out, "report");
        return;
    }
    try {
        Common::WriteFileAtomically(path, text.get());
    } catch (const Common::Exception& e) {
        throw RunError(ClassifyModuleError(e), std::string("report: ") + e.what());
    }
}

/// The PQR file, the largest output, is formatted and written to its temporary file on another
/// core while this thread writes the others; it replaces its target only at Commit, in the
/// order the outputs have always been replaced, so a refusal of an earlier output leaves it
/// untouched. This thread, done with the others by then, makes blocks of records at Commit
/// rather than wait idle. Standard output gets the text at Commit, formatted then.
class PqrOutput {
public:
    PqrOutput(const HostModel::ChemDoc& doc, std::string description, std::string path)
        : doc_(doc), description_(std::move(description)), path_(std::move(path)) {
        if (path_ == "-") return;
        try {
            file_ = std::make_unique<Common::AtomicFileWriter>(path_);
        } catch (const Common::Exception& e) {
            throw RunError(kExitOutputError, std::string("pqr: ") + e.what());
        }
        job_ = std::make_unique<PqrFormatJob>(doc_, description_);
        prepared_ = std::async(std::launch::async, [this] {
            try {
                file_->Begin();
            } catch (...) {
                job_->End();
                throw;
            }
            job_->Write([this](const std::string& chunk) { file_->Append(chunk); });
            file_->Finish();
        });
    }
    // Waits for the other core: the file must not be written while the run unwinds.
    ~PqrOutput() {
        if (prepared_.valid()) prepared_.wait();
    }
    PqrOutput(const PqrOutput&) = delete;
    PqrOutput& operator=(const PqrOutput&) = delete;

    void Commit(std::ostream& out) {
        if (path_ == "-") {
            WritePqr(out, doc_, description_);
            CheckStandardOutput(out, "pqr");
            return;
        }
        job_->Help();
        try {
            prepared_.get();
            file_->Commit();
        } catch (const Common::Exception& e) {
            throw RunError(kExitOutputError, std::string("pqr: ") + e.what());
        }
    }

private:
    const HostModel::ChemDoc& doc_;
    std::string description_;
    std::string path_;
    std::unique_ptr<Common::AtomicFileWriter> file_;
    std::unique_ptr<PqrFormatJob> job_;
    std::future<void> prepared_;  // last: the thread ends before the job and the file go
};

void InternPropertyNames() {
    for (const char* name :
         {Voltra::kChargePropertyName, Voltra::kRadiusPropertyName, Voltra::kChargeSourcePropertyName,
          Voltra::kRadiusSourcePropertyName, Voltra::kCombinedSourcePropertyName, Voltra::kChargeTemplatePropertyName,
          Voltra::kRadiusTemplatePropertyName}) {
        HostModel::PropertyNames::Intern(name);
    }
}

// --out-dir names a folder for the outputs; like mkdir -p, it is made when missing.
void CreateOutDir(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw RunError(kExitOutputError, "cannot create output folder '" + folder + "': " + error.message());
}

bool HasHydrogens(const HostModel::ChemDoc& doc) {
    HostModel::DescendentIterator atoms(doc.GetTreeRoot(), HostModel::Atom::classType);
    while (HostModel::Object* atom = atoms.GetNext()) {
        if (static_cast<HostModel::Atom*>(atom)->GetAtomicNumber() == 1) return true;
    }
    return false;
}

// Amber and Parse charges are all-atom charges: without hydrogens the residues' charges do not
// add up to their formal charges, and the host cannot place hydrogens yet.
void WarnAboutMissingHydrogens(const Options& options, const HostModel::ChemDoc& doc,
                               std::vector<std::string>& warnings) {
    const bool allAtom = options.assignment == Assignment::AmberPlusDefault || options.assignment == Assignment::Parse;
    if (allAtom && !options.zeroCharges && !HasHydrogens(doc)) {
        warnings.push_back(
            "the structure has no hydrogens; Amber and Parse charges assume them, so residue and net charges "
            "are not integers (add hydrogens first, for example with pdb2pqr, or use --assign=default)");
    }
}

std::string Describe(const Options& options, const HostModel::Command* command) {
    std::string text =
        command ? std::string("Charges and radii: ") + command->GetName() : "No charges or radii assigned";
    if (options.assignment == Assignment::ForceField) text += " (" + options.forcefieldName + ")";
    if (options.zeroCharges) text += ", charges zeroed";
    return text;
}

void WriteApbsInput(const HostModel::ChemDoc& doc, const std::string& pqrPath, const std::string& path) {
    std::string text;
    try {
        text = ApbsInputText(PqrNameForApbs(pqrPath, path), SizeApbsGrid(doc));
    } catch (const std::invalid_argument& e) {
        throw RunError(kExitCommandRefused, std::string("apbs input: ") + e.what());
    }
    try {
        Common::WriteFileAtomically(path, text);
    } catch (const Common::Exception& e) {
        throw RunError(kExitOutputError, std::string("apbs input: ") + e.what());
    }
}

// Freeing a document of a million atoms takes a tenth of a second, object by object; when the
// process ends right after, the system takes the memory back at once. The document stays
// reachable, so leak checkers do not report it.
void LeaveToProcessExit(std::unique_ptr<HostModel::ChemDoc> doc) {
    static auto* left = new std::vector<std::unique_ptr<HostModel::ChemDoc>>();
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    left->push_back(std::move(doc));
}

void RunOrThrow(const Options& options, std::ostream& out, const StageCallback& stage, InputOutcome& outcome,
                HostModel::ChemDoc& doc) {
    stage("reading " + options.input);
    StructureSummary read;
    try {
        read = ReadStructureInto(doc, options);
    } catch (const InputError& e) {
        outcome.preparation = doc.GetPreparationReport();
        throw RunError(kExitInputError, e.what());
    }
    outcome.readDescription = read.description;

    HostModel::ProtonationSettings protonation;
    protonation.ph = options.ph;
    if (options.pkaFromPropka) protonation.pkaSource = HostModel::ProtonationSettings::PkaSource::Propka;
    doc.SetProtonationSettings(protonation);

    stage("assigning charges and radii");
    const std::unique_ptr<HostModel::Command> command = MakeAssignmentCommand(options.assignment);
    try {
        if (command) RunCommand(*command, doc, WhyUnsuitable(options.assignment));
        WarnAboutMissingHydrogens(options, doc, read.warnings);
        if (options.zeroCharges) {
            Voltra::CmdZeroVoltraCharges zero;
            RunCommand(zero, doc, "no charges to zero");
        }
    } catch (...) {
        outcome.preparation = doc.GetPreparationReport();
        throw;
    }
    outcome.preparation = doc.GetPreparationReport();
    outcome.warnings = read.warnings;
    outcome.assigned = command != nullptr;
    outcome.assignmentDescription = Describe(options, command.get());

    stage("writing");
    if (options.outDir) CreateOutDir(*options.outDir);
    // The outputs only read the document, so they are made on two cores at once.
    std::optional<PqrOutput> pqr;
    if (options.pqrPath) pqr.emplace(doc, outcome.assignmentDescription, *options.pqrPath);
    // So is the report page while the template files are written; files are still written here,
    // on this thread, in the same order, and a refusal still comes after the templates.
    const bool reportSuitable = options.reportPath && Voltra::VoltraReport::IsSuitable(doc);
    std::future<std::string> reportText;
    if (reportSuitable && *options.reportPath != "-") {
        reportText = std::async(std::launch::async, Voltra::VoltraReport::Text, std::cref(doc));
    }
    // And the summary, which this thread would otherwise make after the others while the PQR
    // thread still formats; taken where it was made, so a failure comes at the same point. Only
    // the messages and the JSON summary show it: a quiet run without the JSON does not make it.
    std::future<AssignmentSummary> summary;
    const bool summaryShown = !options.quiet || options.summaryJsonPath.has_value();
    if (outcome.assigned && summaryShown) summary = std::async(std::launch::async, SummarizeAssignment, std::cref(doc));
    if (options.templatePrefix) WriteTemplates(doc, *options.templatePrefix);
    if (options.reportPath) WriteReport(doc, *options.reportPath, out, reportSuitable, reportText);
    if (summary.valid()) outcome.summary = summary.get();
    if (pqr) pqr->Commit(out);
    if (options.apbsInputPath) WriteApbsInput(doc, *options.pqrPath, *options.apbsInputPath);
}

}  // namespace

void PrepareForRuns(const Options& options) {
    InitialisePersistence(options);
    // Interning is the one write that reading a property may do; the names every run reads are
    // interned here so that runs on other threads only look them up.
    InternPropertyNames();
}

InputOutcome RunInput(const Options& options, std::ostream& out, const StageCallback& stage) {
    InputOutcome outcome;
    outcome.input = options.input;
    outcome.templatePrefix = options.templatePrefix;
    outcome.reportPath = options.reportPath;
    outcome.pqrPath = options.pqrPath;
    outcome.apbsInputPath = options.apbsInputPath;
    const StageCallback report = stage ? stage : [](const std::string&) {};
    try {
        auto doc = std::make_unique<HostModel::ChemDoc>();
        RunOrThrow(options, out, report, outcome, *doc);
        if (options.leaveDocumentToExit) LeaveToProcessExit(std::move(doc));
        return outcome;
    } catch (const RunError& e) {
        outcome.exitCode = e.Code();
        outcome.error = e.what();
    } catch (const Common::Exception& e) {
        outcome.exitCode = kExitCommandRefused;
        outcome.error = e.what();
    } catch (const std::bad_alloc&) {
        outcome.exitCode = kExitInternalError;
        outcome.error = "out of memory";
    } catch (const std::exception& e) {
        outcome.exitCode = kExitInternalError;
        outcome.error = std::string("internal error: ") + e.what();
    }
    return outcome;
}

}  // namespace VoltraApp
