// Fuzzes the streaming PDB reader against gemmi's reader on the same bytes, each building its
// model: where the stream reads a file, gemmi's path must read it too and build the same tree
// (label, counts, chains, residues, atoms, positions, bonds); where the stream declines one
// (ReadError), the program reads it through gemmi, so only ReadError may come out there. The
// first byte picks the options (bits 0-1: the model, 0 for the first; bit 2: the most occupied
// conformer; bit 3: records read on a second thread beside the build; bit 4: the two halves of
// the text read at once), the rest is the file. Anything else, or a difference, stops the run.
#include "io/GemmiStructureReader.h"
#include "io/PdbRecordGuards.h"
#include "io/PdbStreamReader.h"
#include "io/ReadError.h"

#include "support/ModelReadOutline.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The first line where two outlines part, for the report.
void ReportDifference(const std::string& streamed, const std::string& reference) {
    std::size_t at = 0;
    while (at < streamed.size() && at < reference.size() && streamed[at] == reference[at]) ++at;
    const std::size_t lineStart = streamed.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    std::fprintf(stderr, "pdb_stream_fuzzer: the stream and gemmi differ\n  stream: %s\n  gemmi:  %s\n",
                 streamed.substr(from, streamed.find('\n', from) - from).c_str(),
                 reference.substr(from, reference.find('\n', from) - from).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    HostIO::ReadOptions options;
    options.model = data[0] & 3;
    options.altloc = (data[0] & 4) ? HostIO::AltlocChoice::HighestOccupancy : HostIO::AltlocChoice::First;
    const HostIO::PdbReadThreads threads = (data[0] & 16)  ? HostIO::PdbReadThreads::Halves
                                           : (data[0] & 8) ? HostIO::PdbReadThreads::Two
                                                           : HostIO::PdbReadThreads::One;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        HostIO::GuardPdbRecords(text, "fuzz.pdb");  // both paths read what it leaves
    } catch (const HostIO::ReadError&) {
        return 0;
    }
    std::string streamed;
    try {
        streamed =
            VoltraTest::OutlineModelRead(HostIO::ReadPdbStreaming(text, "fuzz.pdb", options, "fuzz", nullptr, threads));
    } catch (const HostIO::ReadError&) {
        try {
            HostIO::ReadPdbThroughGemmi(text, "fuzz.pdb", options, "fuzz");
        } catch (const HostIO::ReadError&) {
        }
        return 0;
    }
    std::string reference;
    try {
        reference = VoltraTest::OutlineModelRead(HostIO::ReadPdbThroughGemmi(text, "fuzz.pdb", options, "fuzz"));
    } catch (const HostIO::ReadError& e) {
        std::fprintf(stderr, "pdb_stream_fuzzer: gemmi refuses what the stream reads: %s\n", e.what());
        std::abort();
    }
    if (streamed != reference) {
        ReportDifference(streamed, reference);
        std::abort();
    }
    return 0;
}
