// The streaming mmCIF reader against gemmi's own Document path, the reference: every corpus
// mmCIF gives the same models, chains, residues and atoms, and a broken file the same message.
#include "io/InputBytes.h"
#include "io/MmcifStreamReader.h"
#include "io/ReadError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string CorpusText(const std::string& file) {
    return HostIO::ReadInputBytes(std::string(VOLTRA_CORPUS_DIR) + "/" + file).text;
}

void ExpectSameStructure(const gemmi::Structure& ours, const gemmi::Structure& theirs, const std::string& file) {
    EXPECT_EQ(ours.name, theirs.name) << file;
    EXPECT_EQ(ours.get_info("_entry.id"), theirs.get_info("_entry.id")) << file;
    ASSERT_EQ(ours.models.size(), theirs.models.size()) << file;
    for (std::size_t m = 0; m < ours.models.size(); ++m) {
        const gemmi::Model& a = ours.models[m];
        const gemmi::Model& b = theirs.models[m];
        EXPECT_EQ(a.name, b.name) << file;
        ASSERT_EQ(a.chains.size(), b.chains.size()) << file;
        for (std::size_t c = 0; c < a.chains.size(); ++c) {
            ASSERT_EQ(a.chains[c].name, b.chains[c].name) << file;
            ASSERT_EQ(a.chains[c].residues.size(), b.chains[c].residues.size())
                << file << " chain " << a.chains[c].name;
            for (std::size_t r = 0; r < a.chains[c].residues.size(); ++r) {
                const gemmi::Residue& x = a.chains[c].residues[r];
                const gemmi::Residue& y = b.chains[c].residues[r];
                const std::string where = file + " " + a.chains[c].name + " " + y.name + y.seqid.str();
                ASSERT_EQ(x.name, y.name) << where;
                EXPECT_EQ(x.seqid, y.seqid) << where;
                EXPECT_EQ(x.subchain, y.subchain) << where;
                EXPECT_EQ(x.entity_type, y.entity_type) << where;
                EXPECT_EQ(x.het_flag, y.het_flag) << where;
                ASSERT_EQ(x.atoms.size(), y.atoms.size()) << where;
                for (std::size_t i = 0; i < x.atoms.size(); ++i) {
                    const gemmi::Atom& p = x.atoms[i];
                    const gemmi::Atom& q = y.atoms[i];
                    EXPECT_EQ(p.name, q.name) << where;
                    EXPECT_EQ(p.altloc, q.altloc) << where << " " << q.name;
                    EXPECT_EQ(p.element, q.element) << where << " " << q.name;
                    EXPECT_EQ(p.serial, q.serial) << where << " " << q.name;
                    EXPECT_EQ(p.pos.x, q.pos.x) << where << " " << q.name;
                    EXPECT_EQ(p.pos.y, q.pos.y) << where << " " << q.name;
                    EXPECT_EQ(p.pos.z, q.pos.z) << where << " " << q.name;
                    EXPECT_EQ(p.occ, q.occ) << where << " " << q.name;
                    EXPECT_EQ(p.charge, q.charge) << where << " " << q.name;
                }
            }
        }
    }
}

TEST(MmcifStreamReader, CorpusFilesReadAsGemmiReadsThem) {
    for (const std::string file : {"1FAS.cif", "1FKI.cif", "3U7T.cif", "9X2O.cif", "1pfe.cif.gz"}) {
        const std::string text = CorpusText(file);
        ExpectSameStructure(HostIO::ReadMmcifStreaming(text, file), HostIO::ReadMmcifThroughDocument(text, file), file);
    }
}

// A syntax error is reported where gemmi reports it, with gemmi's words.
TEST(MmcifStreamReader, SyntaxErrorAsGemmiReportsIt) {
    std::string text = CorpusText("1FAS.cif");
    text.insert(text.find("_atom_site.group_PDB"), "loop_\n'unterminated\n");
    std::string streaming, reference;
    try {
        HostIO::ReadMmcifStreaming(text, "broken.cif");
    } catch (const HostIO::ReadError& e) {
        streaming = e.what();
    }
    try {
        HostIO::ReadMmcifThroughDocument(text, "broken.cif");
    } catch (const HostIO::ReadError& e) {
        reference = e.what();
    }
    EXPECT_FALSE(reference.empty());
    EXPECT_EQ(streaming, reference);
}

}  // namespace
