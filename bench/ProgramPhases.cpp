// Times each stage of the voltra program's pipeline on one structure file, with the peak memory
// after each, so that a slow or large whole-program run can be traced to the stage that costs.
//
// The stages are the program's own calls in its order (read, assign, templates, report, PQR,
// summary, freeing the document); --split replaces the read of a PDB or mmCIF file by its steps
// (parse and build, the preparation, attaching) and the assignment command by its steps (load
// the templates, the hydrogen steps of amber, the one walk of the reset and the templates,
// start tracking) and the template export by its parts.
// A reference stage parses the file with gemmi alone first, to tell gemmi's share of reading.
//
// Usage: ProgramPhases [--assign=default|amber] [--split] [--no-gemmi] INPUT OUTDIR
// OUTDIR must exist; the outputs are named after INPUT as the program names them.
#include "AssignmentSummary.h"
#include "PqrWriter.h"

#include "apply/TemplateApplicator.h"
#include "commands/CmdApplyAmberPlusDefaultTemplates.h"
#include "commands/CmdApplyDefaultTemplates.h"
#include "export/TemplateExporter.h"
#include "report/VoltraReport.h"
#include "templates/Template.h"
#include "templates/TemplateFileIO.h"

#include "Common/AtomicFileWriter.h"
#include "Common/Exception.h"
#include "Common/StringConversion.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/TreeRoot.h"
#include "HostModel_Commands/VisibleMoleculeList.h"
#include "Persistence/Persistence.h"
#include "chem/ChainEnds.h"
#include "chem/HydrogenNaming.h"
#include "chem/HydrogenPlacement.h"
#include "chem/ProtonationStates.h"
#include "chem/StructurePreparation.h"
#include "io/GemmiStructureReader.h"
#include "io/InputBytes.h"
#include "io/StructureReader.h"

#include <gemmi/pdb.hpp>
#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Stage {
    std::string name;
    double seconds;
    double cpuSeconds;  // user + system of every thread of the process
    long peakKb;        // the process's peak resident set so far
    long currentKb;     // resident set at the end of the stage
    long faults;        // minor page faults during the stage (first touches of fresh memory)
};

double CpuSeconds(const rusage& usage) {
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

rusage Usage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

long CurrentRssKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class StageTimer {
public:
    void Run(const std::string& name, const std::function<void()>& work) {
        const rusage before = Usage();
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        const rusage after = Usage();
        stages_.push_back({name, elapsed.count(), CpuSeconds(after) - CpuSeconds(before), after.ru_maxrss,
                           CurrentRssKb(), after.ru_minflt - before.ru_minflt});
    }

    void Print(std::ostream& out, const std::string& title) const {
        double total = 0, totalCpu = 0;
        for (const Stage& s : stages_) total += s.seconds, totalCpu += s.cpuSeconds;
        char line[160];
        out << title << '\n';
        std::snprintf(line, sizeof line, "%-34s %9s %6s %8s %10s %10s %9s\n", "stage", "seconds", "share", "CPU s",
                      "peak MB", "now MB", "faults");
        out << line;
        for (const Stage& s : stages_) {
            std::snprintf(line, sizeof line, "%-34s %9.3f %5.1f%% %8.3f %10.1f %10.1f %9ld\n", s.name.c_str(),
                          s.seconds, total > 0 ? 100.0 * s.seconds / total : 0.0, s.cpuSeconds, s.peakKb / 1024.0,
                          s.currentKb / 1024.0, s.faults);
            out << line;
        }
        std::snprintf(line, sizeof line, "%-34s %9.3f %6s %8.3f\n", "total", total, "", totalCpu);
        out << line;
    }

private:
    std::vector<Stage> stages_;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// PQR files, compressed or not, are read whole: they are not prepared the same way.
bool IsPqr(const std::string& path) { return path.find(".pqr") != std::string::npos; }

bool IsCif(const std::string& path) {
    const auto ext = std::filesystem::path(path).extension().string();
    return ext == ".cif" || ext == ".mmcif";
}

struct StepFile {
    const char* fileName;
    bool charge;
};

int Main(int argc, char** argv) {
    std::string assign = "default";
    bool split = false, gemmiReference = true;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--assign=", 0) == 0) {
            assign = arg.substr(9);
        } else if (arg == "--split") {
            split = true;
        } else if (arg == "--no-gemmi") {
            gemmiReference = false;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2 || (assign != "default" && assign != "amber")) {
        std::cerr << "usage: ProgramPhases [--assign=default|amber] [--split] [--no-gemmi] INPUT OUTDIR\n";
        return 2;
    }
    const std::string input = positional[0], outDir = positional[1];
    const std::string stem = std::filesystem::path(input).stem().string();
    const std::string prefix = (std::filesystem::path(outDir) / stem).string();

    // Templates are found beside the program, as the voltra executable finds them.
    const auto exeDir = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    Persistence::Initialize(Common::Path(Common::ToWString(exeDir)));

    StageTimer timer;
    // The reference parses plain text only.
    if (gemmiReference && std::filesystem::path(input).extension() != ".gz") {
        std::string bytes;
        timer.Run("ref: read file bytes", [&] { bytes = ReadFile(input); });
        auto structure = std::make_unique<gemmi::Structure>();
        timer.Run("ref: gemmi parse only", [&] {
            if (IsCif(input)) {
                *structure = gemmi::make_structure(gemmi::cif::read_memory(bytes.data(), bytes.size(), input.c_str()));
            } else {
                gemmi::PdbReadOptions options;
                options.split_chain_on_ter = true;
                *structure = gemmi::read_pdb_from_memory(bytes.data(), bytes.size(), input, options);
            }
        });
        timer.Run("ref: free gemmi structure", [&] {
            structure.reset();
            std::string().swap(bytes);
        });
    }

    auto doc = std::make_unique<HostModel::ChemDoc>();
    HostIO::ReadResult read;
    if (split && !IsPqr(input)) {
        // The read's steps as ReadStructure runs them for PDB and mmCIF: the molecule built,
        // prepared (names, hydrogens, states, completion), attached to the document.
        HostIO::GemmiModelRead model;
        timer.Run("read: parse and build", [&] {
            HostIO::InputBytes bytes = HostIO::ReadInputBytes(input);
            const HostIO::StructureFormat format = HostIO::DetectStructureFormat(bytes.text, input);
            model = HostIO::ReadGemmiModel(std::move(bytes.text), input, format, HostIO::ReadOptions(),
                                           HostIO::StructureFileStem(input));
        });
        read.atomCount = model.model.built.atoms.size();
        read.bondCount = model.model.built.bondCount;
        timer.Run("read: prepare", [&] {
            HostChem::PrepareReadMolecule(*model.model.built.molecule, doc->GetPreparationReport(),
                                          HostChem::PreparationOptions());
        });
        timer.Run("read: attach", [&] { doc->GetTreeRoot()->Add(std::move(model.model.built.molecule)); });
    } else {
        timer.Run("read structure (whole)", [&] { read = HostIO::ReadStructure(*doc, input); });
    }

    if (!split) {
        timer.Run("assign (command)", [&] {
            std::unique_ptr<HostModel::Command> command;
            if (assign == "amber") {
                command = std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>();
            } else {
                command = std::make_unique<Voltra::CmdApplyDefaultTemplates>();
            }
            if (!doc->Execute(*command)) throw std::runtime_error(command->GetErrorMessage());
        });
        timer.Run("export templates (whole)", [&] { Voltra::TemplateExporter::ExportFrom(*doc, prefix); });
    } else {
        // The steps of the template-set commands, each on its own.
        const std::vector<StepFile> steps =
            assign == "amber"
                ? std::vector<StepFile>{{"prot_amb.crg", true}, {"default.siz", false}, {"nuca_amb.crg", true}}
                : std::vector<StepFile>{{"default.crg", true}, {"default.siz", false}};
        std::vector<Voltra::TemplatePtr> templates(steps.size());
        timer.Run("assign: load templates", [&] {
            for (std::size_t i = 0; i < steps.size(); ++i) Voltra::LoadTemplate(steps[i].fileName, templates[i]);
        });
        if (assign == "amber") {
            // CmdHydrogens then CmdNameHydrogens, as the command runs them, a step at a time.
            HostModel::PreparationReport& report = doc->GetPreparationReport();
            timer.Run("assign: protonation states", [&] { HostChem::ChooseProtonationStates(*doc); });
            const auto molecules = HostModel_Commands::VisibleMoleculeList(*doc);
            timer.Run("assign: add hydrogens", [&] {
                for (HostModel::Molecule* molecule : molecules)
                    HostChem::AddMissingHydrogens(*molecule, HostModel::Atom::AllHydrogens, report);
            });
            timer.Run("assign: chain ends", [&] {
                for (HostModel::Molecule* molecule : molecules) HostChem::MarkChainEnds(*molecule);
            });
            timer.Run("assign: name hydrogens", [&] {
                for (HostModel::Molecule* molecule : molecules) HostChem::NameHydrogens(*molecule, report);
            });
        }
        // The reset and every template in one walk over the atoms (two threads at this size).
        auto applicator = std::make_unique<Voltra::TemplateApplicator>(doc.get());
        timer.Run("assign: reset and apply", [&] {
            std::vector<Voltra::TemplateApplicator::Pass> passes;
            for (std::size_t i = 0; i < steps.size(); ++i) passes.push_back({templates[i], steps[i].charge});
            applicator->ResetAndApply(passes);
        });
        timer.Run("assign: start tracking", [&] { applicator.reset(); });

        // What the program runs: both files formatted as the atoms are walked, written atomically.
        timer.Run("export templates", [&] { Voltra::TemplateExporter::ExportFrom(*doc, prefix); });
    }

    std::string page;
    timer.Run("report: generate", [&] {
        std::ostringstream text;
        Voltra::VoltraReport::Generate(text, *doc);
        page = text.str();
    });
    timer.Run("report: write", [&] { Common::WriteFileAtomically(prefix + ".html", page); });

    // As the program writes it (on its second core): formatted in pieces straight into the file.
    timer.Run("pqr: format and write", [&] {
        Common::AtomicFileWriter file(prefix + ".pqr");
        file.Begin();
        VoltraApp::FormatPqr(*doc, "Charges and radii: benchmark",
                             [&](const std::string& chunk) { file.Append(chunk); });
        file.Finish();
        file.Commit();
    });
    timer.Run("summary", [&] {
        std::ostringstream sink;
        VoltraApp::PrintSummary(sink, VoltraApp::SummarizeAssignment(*doc));
    });
    timer.Run("free document", [&] { doc.reset(); });

    timer.Print(std::cout, input + ": " + std::to_string(read.atomCount) + " atoms, " + std::to_string(read.bondCount) +
                               " bonds, --assign=" + assign + (split ? ", split" : ""));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "ProgramPhases: " << e.what() << '\n';
        return 1;
    }
}
