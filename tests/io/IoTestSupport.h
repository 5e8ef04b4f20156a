// Files and documents for the io tests: corpus paths, whole-file reads, gzip, scratch files.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"

#include "support/CorpusText.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace IoTest {

inline std::string CorpusPath(const std::string& name) { return std::string(VOLTRA_CORPUS_DIR) + "/" + name; }

/// The bytes of a file, inflated when it is gzip.
inline std::string ReadText(const std::string& path) { return VoltraTest::ReadMaybeGzipped(path); }

inline std::string Gzip(const std::string& text) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate failed");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

/// A file below the build tree that is removed again when the test ends.
class ScratchFile {
public:
    ScratchFile(const std::string& name, const std::string& bytes)
        : path_(std::string(VOLTRA_BUILD_DIR) + "/io-test-" + name) {
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline std::vector<const HostModel::Object*> Children(const HostModel::Object& parent) {
    std::vector<const HostModel::Object*> out;
    for (std::size_t i = 0; i < parent.GetNumChildren(); ++i) out.push_back(parent.GetChild(i));
    return out;
}

inline const HostModel::Atom* FindAtom(const HostModel::Object& residue, const std::string& label) {
    for (const auto* child : Children(residue)) {
        if (child->GetLabel() == label) return static_cast<const HostModel::Atom*>(child);
    }
    return nullptr;
}

/// "AA:A", "NA:A", "Chain:Water": a chain's class and label, for comparing a tree's outline.
inline std::string ChainOutline(const HostModel::Object& chain) {
    const char* kind = chain.IsA(HostModel::AminoAcidChain::classType)     ? "AA"
                       : chain.IsA(HostModel::NucleicAcidChain::classType) ? "NA"
                                                                           : "Chain";
    return std::string(kind) + ":" + chain.GetLabel();
}

/// Number of ATOM/HETATM records of the first model of a PDB, PQR or mmCIF text; an
/// independent count to hold the reader's atoms against.
inline std::size_t CountFirstModelRecords(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    std::size_t count = 0;
    bool sawModelEnd = false;
    while (std::getline(lines, line)) {
        if (line.rfind("ENDMDL", 0) == 0) sawModelEnd = true;
        if (sawModelEnd) break;
        if (line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0) ++count;
    }
    return count;
}

}  // namespace IoTest
