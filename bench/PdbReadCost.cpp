// What reading a PDB file's text into a model costs on each of the two paths: the streaming
// reader (PdbStreamReader.h) and gemmi's reader with its whole Structure (the reference). Reads
// the file once, then builds its model alternately on each path, in one run, and prints the
// median CPU time (user + system), wall time and minor page faults of each, and their ratios.
//
//   PdbReadCost [--runs=N] [--path=both|stream|gemmi|threads] INPUT.pdb
//
// --path=threads runs the streaming reader alone with each of its thread layouts in turn (one
// thread, a reading thread beside the build, the two halves read at once).
//
// Memory freed by one path is reused by the next, so after the first run both touch few fresh
// pages; --path=stream or --path=gemmi runs one path alone, for a fresh process's costs.
// Inputs: the 1AFS tiling of bench/scripts/run_program_bench.sh --keep=DIR.
#include "io/GemmiStructureReader.h"
#include "io/InputBytes.h"
#include "io/PdbRecordGuards.h"
#include "io/PdbStreamReader.h"

#include "HostModel/Molecule.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Cost {
    double cpu = 0, wall = 0;  // s
    double faults = 0;         // minor page faults
    std::size_t atoms = 0;
};

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Times read(), which takes its own copy of the text as the program hands it over; the model
// it returns is freed after the timing, as the program keeps it.
template <typename Read>
Cost Measure(const std::string& text, Read read) {
    std::string copy = text;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    const HostIO::ModelRead model = read(std::move(copy));
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    getrusage(RUSAGE_SELF, &after);
    return {CpuSeconds(after) - CpuSeconds(before), elapsed.count(),
            static_cast<double>(after.ru_minflt - before.ru_minflt), model.built.atoms.size()};
}

double MedianOf(const std::vector<Cost>& costs, double Cost::*field) {
    std::vector<double> values;
    for (const Cost& c : costs) values.push_back(c.*field);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Print(const char* what, const std::vector<Cost>& costs) {
    std::printf("  %-18s cpu %7.3f s  wall %7.3f s  minor faults %9.0f  (medians; %zu atoms)\n", what,
                MedianOf(costs, &Cost::cpu), MedianOf(costs, &Cost::wall), MedianOf(costs, &Cost::faults),
                costs.back().atoms);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::string path = "both";
    std::string input;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--runs=", 0) == 0) runs = std::max(1, std::atoi(arg.c_str() + 7));
        else if (arg.rfind("--path=", 0) == 0) path = arg.substr(7);
        else input = arg;
    }
    if (input.empty() || (path != "both" && path != "stream" && path != "gemmi" && path != "threads")) {
        std::fprintf(stderr, "usage: PdbReadCost [--runs=N] [--path=both|stream|gemmi|threads] INPUT.pdb\n");
        return 2;
    }
    try {
        std::string text = HostIO::ReadInputBytes(input).text;
        HostIO::GuardPdbRecords(text, input);
        const HostIO::ReadOptions options;
        std::vector<Cost> streamed, throughGemmi;
        if (path == "threads") {
            const std::pair<const char*, HostIO::PdbReadThreads> layouts[] = {
                {"one thread", HostIO::PdbReadThreads::One},
                {"reader beside", HostIO::PdbReadThreads::Two},
                {"halves at once", HostIO::PdbReadThreads::Halves}};
            std::vector<Cost> costs[3];
            for (int run = 0; run < runs; ++run) {
                for (int layout = 0; layout < 3; ++layout) {
                    costs[layout].push_back(Measure(text, [&](std::string copy) {
                        return HostIO::ReadPdbStreaming(copy, input, options, "bench", {}, layouts[layout].second);
                    }));
                }
            }
            std::printf("%s: %d runs each, text read once (%zu bytes)\n", input.c_str(), runs, text.size());
            for (int layout = 0; layout < 3; ++layout) Print(layouts[layout].first, costs[layout]);
            return 0;
        }
        for (int run = 0; run < runs; ++run) {
            // Alternating, so that drifts of a shared machine hit both alike.
            if (path != "gemmi") {
                streamed.push_back(Measure(text, [&](std::string copy) {
                    HostIO::ModelRead model = HostIO::ReadPdbStreaming(copy, input, options, "bench");
                    copy = std::string();  // as the program frees it once read
                    return model;
                }));
            }
            if (path != "stream") {
                throughGemmi.push_back(Measure(text, [&](std::string copy) {
                    return HostIO::ReadPdbThroughGemmi(std::move(copy), input, options, "bench");
                }));
            }
        }
        std::printf("%s: %d runs each, text read once (%zu bytes)\n", input.c_str(), runs, text.size());
        if (!streamed.empty()) Print("streaming", streamed);
        if (!throughGemmi.empty()) Print("gemmi's Structure", throughGemmi);
        if (streamed.empty() || throughGemmi.empty()) return 0;
        std::printf("  ratio streaming/gemmi  cpu %.3f  wall %.3f\n",
                    MedianOf(streamed, &Cost::cpu) / MedianOf(throughGemmi, &Cost::cpu),
                    MedianOf(streamed, &Cost::wall) / MedianOf(throughGemmi, &Cost::wall));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "PdbReadCost: %s\n", e.what());
        return 1;
    }
    return 0;
}
