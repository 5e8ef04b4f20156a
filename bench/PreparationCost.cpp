// What preparing a molecule costs once it is read: builds the molecule of one PDB or mmCIF file
// as the reader does, then times HostChem::PrepareReadMolecule alone on it, in several runs
// (each on a freshly built molecule), and prints the median wall and CPU time and what the
// preparation reported, so that a faster build can be checked to report the same.
//
//   PreparationCost [--runs=N] [--no-complete] [--one-thread] INPUT
#include "io/GemmiStructureReader.h"
#include "io/InputBytes.h"
#include "io/StructureFormat.h"

#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "chem/ResidueAtoms.h"
#include "chem/StructurePreparation.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

namespace {

struct Timing {
    double seconds;
    double cpuSeconds;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

Timing PrepareOnce(const std::string& path, bool complete, bool oneThread, HostModel::PreparationReport& report) {
    HostIO::InputBytes input = HostIO::ReadInputBytes(path);
    const HostIO::StructureFormat format = HostIO::DetectStructureFormat(input.text, path);
    HostIO::ReadOptions options;
    HostIO::GemmiModelRead read = HostIO::ReadGemmiModel(std::move(input.text), path, format, options, "bench");
    HostChem::PreparationOptions preparation;
    preparation.completeMissingAtoms = complete;
    report = HostModel::PreparationReport();
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    HostChem::PrepareReadMolecule(*read.model.built.molecule, report, preparation,
                                  oneThread ? SIZE_MAX : HostChem::kResiduesWorthASecondThread);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {elapsed.count(), CpuSeconds() - cpuBefore};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::size_t Total(const std::map<std::string, std::size_t>& counts) {
    std::size_t total = 0;
    for (const auto& entry : counts) total += entry.second;
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool complete = true;
    bool oneThread = false;
    std::string input;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--runs=", 0) == 0) runs = std::max(1, std::atoi(arg.c_str() + 7));
        else if (arg == "--no-complete") complete = false;
        else if (arg == "--one-thread") oneThread = true;
        else input = arg;
    }
    if (input.empty()) {
        std::fprintf(stderr, "usage: PreparationCost [--runs=N] [--no-complete] [--one-thread] INPUT\n");
        return 2;
    }
    try {
        std::vector<double> wall, cpu;
        HostModel::PreparationReport report;
        for (int run = 0; run < runs; ++run) {
            const Timing timing = PrepareOnce(input, complete, oneThread, report);
            wall.push_back(timing.seconds);
            cpu.push_back(timing.cpuSeconds);
        }
        std::printf("%s: %d runs\n", input.c_str(), runs);
        std::printf("  prepare               %8.4f s wall, %8.4f s CPU (medians)\n", Median(wall), Median(cpu));
        std::printf("  names mapped          %8zu\n", Total(report.namesMapped));
        std::printf("  hydrogens renamed     %8zu; unknown %zu\n", Total(report.hydrogensRenamed),
                    report.unknownHydrogens.size());
        std::printf("  states from hydrogens %8zu\n", Total(report.statesFromHydrogens));
        std::printf("  atoms built           %8zu; residues left incomplete %zu\n", Total(report.atomsCompleted),
                    report.residuesLeftIncomplete.size());
        std::printf("  warnings              %8zu\n", report.warnings.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "PreparationCost: %s\n", e.what());
        return 1;
    }
    return 0;
}
