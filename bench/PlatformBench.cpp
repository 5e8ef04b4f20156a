// Document-model costs at the scale of large assemblies: one million atoms carrying the five
// per-atom Voltra properties. Reports time per pass over all atoms and resident memory.
//
// The build benchmark runs first and leaves its document for the others; its counters give the
// growth of VmRSS (from /proc/self/status) while the tree was built and while the properties
// were written, in MiB and in bytes per atom.
#include "SyntheticProtein.h"

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace HostModel;

constexpr std::size_t kAtomCount = 1'000'000;

// The names and flags the module writes, passed as it passes them (narrow literals).
constexpr const char* kCharge = "Voltra Charge";
constexpr const char* kRadius = "Voltra Radius";
constexpr const char* kChargeSource = "Voltra Charge Source";
constexpr const char* kRadiusSource = "Voltra Radius Source";
constexpr const char* kCombinedSource = "Voltra Charge + Radius Source";

struct Fixture {
    ChemDoc doc;
    Molecule* molecule = nullptr;
    std::vector<Atom*> atoms;
};

std::unique_ptr<Fixture>& Shared() {
    static std::unique_ptr<Fixture> fixture;
    return fixture;
}

// Resident set size in bytes, from the VmRSS line (kB) of /proc/self/status; 0 if unreadable.
double ResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb * 1024.0;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

void WriteAllFiveProperties(const std::vector<Atom*>& atoms) {
    for (Atom* atom : atoms) {
        const float charge = atom->GetAtomicNumber() == 1 ? 0.25f : -0.5f;
        atom->SetProperty(kCharge, charge, 6);
        atom->SetProperty(kChargeSource, "Amber", 0);
        atom->SetProperty(kCombinedSource, "Amber + ", 2);
        atom->SetProperty(kRadius, atom->GetRadius(), 6);
        atom->SetProperty(kRadiusSource, "Default", 0);
        atom->SetProperty(kCombinedSource, "Amber + Default", 2);
    }
}

Fixture& Document() {
    auto& fixture = Shared();
    if (!fixture) {
        fixture = std::make_unique<Fixture>();
        fixture->molecule = &VoltraBench::BuildSyntheticProtein(fixture->doc, kAtomCount);
        DescendentIterator it(fixture->molecule, Atom::classType);
        while (Object* atom = it.GetNext()) fixture->atoms.push_back(static_cast<Atom*>(atom));
        WriteAllFiveProperties(fixture->atoms);
    }
    return *fixture;
}

void BM_BuildDocumentWithFiveProperties(benchmark::State& state) {
    for (auto _ : state) {
        Shared().reset();
        const double before = ResidentBytes();
        auto fixture = std::make_unique<Fixture>();
        fixture->molecule = &VoltraBench::BuildSyntheticProtein(fixture->doc, kAtomCount);
        const double afterTree = ResidentBytes();
        DescendentIterator it(fixture->molecule, Atom::classType);
        while (Object* atom = it.GetNext()) fixture->atoms.push_back(static_cast<Atom*>(atom));
        // The pointer list is the benchmark's own; keep it out of the document's figures.
        const double afterList = ResidentBytes();
        WriteAllFiveProperties(fixture->atoms);
        const double afterProperties = ResidentBytes();

        const double atoms = static_cast<double>(fixture->atoms.size());
        const double tree = afterTree - before;
        const double properties = afterProperties - afterList;
        constexpr double kMiB = 1024.0 * 1024.0;
        state.counters["atoms"] = atoms;
        state.counters["rss_tree_MiB"] = tree / kMiB;
        state.counters["rss_properties_MiB"] = properties / kMiB;
        state.counters["rss_total_MiB"] = (tree + properties) / kMiB;
        state.counters["tree_B_per_atom"] = tree / atoms;
        state.counters["properties_B_per_atom"] = properties / atoms;
        state.counters["total_B_per_atom"] = (tree + properties) / atoms;
        Shared() = std::move(fixture);
    }
}
BENCHMARK(BM_BuildDocumentWithFiveProperties)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_IterateAllAtoms(benchmark::State& state) {
    Fixture& f = Document();
    for (auto _ : state) {
        std::size_t count = 0;
        DescendentIterator it(f.molecule, Atom::classType);
        while (Object* atom = it.GetNext()) {
            benchmark::DoNotOptimize(atom);
            ++count;
        }
        if (count != f.atoms.size()) state.SkipWithError("iterator missed atoms");
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.atoms.size()));
}
BENCHMARK(BM_IterateAllAtoms)->Unit(benchmark::kMillisecond);

void BM_WriteChargeOnEveryAtom(benchmark::State& state) {
    Fixture& f = Document();
    float value = 0.0f;
    for (auto _ : state) {
        value += 0.125f;
        for (Atom* atom : f.atoms) atom->SetProperty(kCharge, value, 6);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.atoms.size()));
}
BENCHMARK(BM_WriteChargeOnEveryAtom)->Unit(benchmark::kMillisecond);

void BM_ReadChargeOnEveryAtom(benchmark::State& state) {
    Fixture& f = Document();
    for (auto _ : state) {
        double sum = 0;
        for (const Atom* atom : f.atoms) {
            float value = 0;
            if (atom->GetProperty(kCharge, value)) sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.atoms.size()));
}
BENCHMARK(BM_ReadChargeOnEveryAtom)->Unit(benchmark::kMillisecond);

void BM_WriteCombinedSourceOnEveryAtom(benchmark::State& state) {
    Fixture& f = Document();
    const char* texts[] = {"Amber + Default", "Zero + Default"};
    std::size_t pass = 0;
    for (auto _ : state) {
        const char* text = texts[pass++ % 2];
        for (Atom* atom : f.atoms) atom->SetProperty(kCombinedSource, text, 2);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.atoms.size()));
}
BENCHMARK(BM_WriteCombinedSourceOnEveryAtom)->Unit(benchmark::kMillisecond);

void BM_ReadSourceOnEveryAtom(benchmark::State& state) {
    Fixture& f = Document();
    for (auto _ : state) {
        std::size_t length = 0;
        for (const Atom* atom : f.atoms) length += atom->GetPropertyAsString(kRadiusSource).size();
        benchmark::DoNotOptimize(length);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.atoms.size()));
}
BENCHMARK(BM_ReadSourceOnEveryAtom)->Unit(benchmark::kMillisecond);

// The module's own loop shape: walk the molecule's atoms and write a value on each.
void BM_IterateAndWriteRadius(benchmark::State& state) {
    Fixture& f = Document();
    for (auto _ : state) {
        DescendentIterator it(f.molecule, Atom::classType);
        while (Object* object = it.GetNext()) {
            auto* atom = static_cast<Atom*>(object);
            atom->SetProperty(kRadius, atom->GetRadius(), 6);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.atoms.size()));
}
BENCHMARK(BM_IterateAndWriteRadius)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
