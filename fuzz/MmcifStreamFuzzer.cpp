// Fuzzes the streaming mmCIF reader against gemmi's document path on the same bytes: where the
// stream reads a file, the document must read it too and give the same models, chains, residues
// and atoms; where the stream refuses one (ReadError), the program reads it through the document,
// so only ReadError may come out. Anything else, or a difference, is a defect and stops the run.
#include "io/MmcifStreamReader.h"
#include "io/ReadError.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void Differ(const char* what) {
    std::fprintf(stderr, "mmcif_stream_fuzzer: the stream and the document differ: %s\n", what);
    std::abort();
}

// Same value or both NaN (a "?" coordinate reads as NaN on both paths).
bool SameNumber(double a, double b) { return a == b || (a != a && b != b); }

void Compare(const gemmi::Structure& ours, const gemmi::Structure& theirs) {
    if (ours.get_info("_entry.id") != theirs.get_info("_entry.id")) Differ("_entry.id");
    if (ours.entities.size() != theirs.entities.size()) Differ("entity count");
    if (ours.models.size() != theirs.models.size()) Differ("model count");
    for (std::size_t m = 0; m < ours.models.size(); ++m) {
        const gemmi::Model& a = ours.models[m];
        const gemmi::Model& b = theirs.models[m];
        if (a.name != b.name || a.chains.size() != b.chains.size()) Differ("model");
        for (std::size_t c = 0; c < a.chains.size(); ++c) {
            if (a.chains[c].name != b.chains[c].name || a.chains[c].residues.size() != b.chains[c].residues.size())
                Differ("chain");
            for (std::size_t r = 0; r < a.chains[c].residues.size(); ++r) {
                const gemmi::Residue& x = a.chains[c].residues[r];
                const gemmi::Residue& y = b.chains[c].residues[r];
                if (x.name != y.name || !(x.seqid == y.seqid) || x.subchain != y.subchain ||
                    x.entity_type != y.entity_type || x.het_flag != y.het_flag || x.atoms.size() != y.atoms.size())
                    Differ("residue");
                for (std::size_t i = 0; i < x.atoms.size(); ++i) {
                    const gemmi::Atom& p = x.atoms[i];
                    const gemmi::Atom& q = y.atoms[i];
                    if (p.name != q.name || p.altloc != q.altloc || p.element != q.element || p.serial != q.serial ||
                        p.charge != q.charge || !SameNumber(p.pos.x, q.pos.x) || !SameNumber(p.pos.y, q.pos.y) ||
                        !SameNumber(p.pos.z, q.pos.z) || !SameNumber(p.occ, q.occ) || !SameNumber(p.b_iso, q.b_iso))
                        Differ("atom");
                }
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    gemmi::Structure streamed;
    try {
        streamed = HostIO::ReadMmcifStreaming(text, "fuzz.cif");
    } catch (const HostIO::ReadError&) {
        // The program reads such a file through the document; it must fail cleanly there too
        // or succeed.
        try {
            HostIO::ReadMmcifThroughDocument(text, "fuzz.cif");
        } catch (const HostIO::ReadError&) {
        }
        return 0;
    }
    gemmi::Structure document;
    try {
        document = HostIO::ReadMmcifThroughDocument(text, "fuzz.cif");
    } catch (const HostIO::ReadError& e) {
        std::fprintf(stderr, "mmcif_stream_fuzzer: the document refuses what the stream reads: %s\n", e.what());
        std::abort();
    }
    Compare(streamed, document);
    return 0;
}
