// The cost of one fixed-point field as the writers make them: the PQR file's coordinates
// ("%8.3f"), charges ("%8.4f") and radii ("%7.4f"), and the template files' values ("%8.3f"),
// through the call and inline.
// Values come from a table made beforehand, so the time is the formatting's alone; the digit
// counts vary from value to value as they do from atom to atom.
#include "Common/FixedColumns.h"
#include "Common/FixedField.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr std::size_t kValues = 1 << 16;  // a power of two, so the index wraps with a mask

std::vector<double> Coordinates() {
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> coordinate(-300.0, 300.0);
    std::vector<double> values(kValues);
    // Through float, as the document keeps positions to the precision PDB files give.
    for (double& value : values) value = static_cast<float>(coordinate(random));
    return values;
}

std::vector<double> Charges() {
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> charge(-1.2, 1.2);
    std::vector<double> values(kValues);
    for (double& value : values) value = static_cast<float>(charge(random));
    return values;
}

std::vector<double> Radii() {
    const float radii[] = {1.2f, 1.7f, 1.55f, 1.52f, 1.8f, 1.824f, 2.0f, 0.0f};
    std::mt19937_64 random(3);
    std::vector<double> values(kValues);
    for (double& value : values) value = radii[random() % 8];
    return values;
}

void WriteFields(benchmark::State& state, const std::vector<double>& values, int width, int decimals) {
    char field[Common::kFixedFieldRoom];
    std::size_t i = 0;
    for (auto _ : state) {
        char* end = Common::WriteFixed(field, values[i++ & (kValues - 1)], width, decimals);
        benchmark::DoNotOptimize(end);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_WriteFixedCoordinate(benchmark::State& state) { WriteFields(state, Coordinates(), 8, 3); }
void BM_WriteFixedCharge(benchmark::State& state) { WriteFields(state, Charges(), 8, 4); }
void BM_WriteFixedRadius(benchmark::State& state) { WriteFields(state, Radii(), 7, 4); }

// The slow path's share: values of fourteen integer digits go through the exact conversion.
void BM_WriteFixedLarge(benchmark::State& state) {
    std::vector<double> values = Coordinates();
    for (double& value : values) value *= 1e11;
    WriteFields(state, values, 8, 3);
}

// The same fields inline, their width and decimals constants, as the record writers call them.
template <int Width, int Decimals>
void WriteInlineFields(benchmark::State& state, const std::vector<double>& values) {
    char field[Common::kFixedFieldRoom];
    std::size_t i = 0;
    for (auto _ : state) {
        char* end = Common::WriteFixedField<Width, Decimals>(field, values[i++ & (kValues - 1)]);
        benchmark::DoNotOptimize(end);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_WriteFixedFieldCoordinate(benchmark::State& state) { WriteInlineFields<8, 3>(state, Coordinates()); }
void BM_WriteFixedFieldCharge(benchmark::State& state) { WriteInlineFields<8, 4>(state, Charges()); }
void BM_WriteFixedFieldRadius(benchmark::State& state) { WriteInlineFields<7, 4>(state, Radii()); }

BENCHMARK(BM_WriteFixedCoordinate);
BENCHMARK(BM_WriteFixedCharge);
BENCHMARK(BM_WriteFixedRadius);
BENCHMARK(BM_WriteFixedLarge);
BENCHMARK(BM_WriteFixedFieldCoordinate);
BENCHMARK(BM_WriteFixedFieldCharge);
BENCHMARK(BM_WriteFixedFieldRadius);

}  // namespace

BENCHMARK_MAIN();
