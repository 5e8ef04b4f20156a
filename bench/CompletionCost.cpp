// What completing missing heavy atoms adds to reading a structure: reads one file alternately
// without and with completion, in one run, and prints the median wall time of each, their
// ratio and the atoms built.
//
//   CompletionCost [--runs=N] INPUT
//
// Inputs: bench/scripts/make_tiled_structure.py --source <corpus>/1BX8.pdb --atoms 1000000
// (two lysines and a chain end to complete per copy), or the default 1AFS tiling.
#include "io/StructureReader.h"

#include "HostModel/ChemDoc.h"
#include "HostModel/PreparationReport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

namespace {

struct Timing {
    double seconds;
    std::size_t built;
    std::size_t incomplete;
};

Timing ReadOnce(const std::string& path, bool complete) {
    HostModel::ChemDoc doc;
    HostIO::ReadOptions options;
    options.completeMissingAtoms = complete;
    const auto start = std::chrono::steady_clock::now();
    HostIO::ReadStructure(doc, path, options);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::size_t built = 0;
    for (const auto& entry : doc.GetPreparationReport().atomsCompleted) built += entry.second;
    return {elapsed.count(), built, doc.GetPreparationReport().residuesLeftIncomplete.size()};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string input;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--runs=", 0) == 0) runs = std::max(1, std::atoi(arg.c_str() + 7));
        else input = arg;
    }
    if (input.empty()) {
        std::fprintf(stderr, "usage: CompletionCost [--runs=N] INPUT\n");
        return 2;
    }
    try {
        std::vector<double> plain, completed;
        Timing last{};
        for (int run = 0; run < runs; ++run) {
            // Alternating, so that drifts of a shared machine hit both alike.
            plain.push_back(ReadOnce(input, false).seconds);
            last = ReadOnce(input, true);
            completed.push_back(last.seconds);
        }
        const double a = Median(plain), b = Median(completed);
        std::printf("%s: %d runs each\n", input.c_str(), runs);
        std::printf("  read, no completion   %8.3f s (median)\n", a);
        std::printf("  read and complete     %8.3f s (median)\n", b);
        std::printf("  ratio                 %8.3f; completion %.3f s\n", b / a, b - a);
        std::printf("  atoms built           %8zu; residues left incomplete %zu\n", last.built, last.incomplete);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "CompletionCost: %s\n", e.what());
        return 1;
    }
    return 0;
}
