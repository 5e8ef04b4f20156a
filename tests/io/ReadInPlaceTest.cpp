// A plain PDB file is read where the system caches it (mapped), without copying its text; every
// other file, and one whose records need mending first, is read into memory as before. Either
// way the document, the counts, the warnings and the errors must be those of the bytes read
// from memory.
#include "IoTestSupport.h"
#include "support/ModelReadOutline.h"

#include "io/InputBytes.h"
#include "io/MappedFile.h"
#include "io/ReadError.h"
#include "io/StructureReader.h"

#include "HostModel/ChemDoc.h"
#include "HostModel/TreeRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using HostIO::ReadStructure;
using HostIO::ReadStructureFromMemory;

// What a read gives: the tree with positions and bonds, and what it counted and said, or its
// error.
std::string ReadOutcome(bool fromFile, const std::string& path, const std::string& bytes) {
    HostModel::ChemDoc doc;
    try {
        const HostIO::ReadResult result =
            fromFile ? ReadStructure(doc, path) : ReadStructureFromMemory(doc, bytes, path);
        std::string out = "format " + std::to_string(static_cast<int>(result.format)) + " compressed " +
                          std::to_string(result.compressed) + " model " + std::to_string(result.modelNumber) +
                          " of " + std::to_string(result.modelCount) + ", atoms " + std::to_string(result.atomCount) +
                          ", bonds " + std::to_string(result.bondCount) + "\n";
        for (const std::string& warning : result.warnings) out += "warning " + warning + "\n";
        return out + VoltraTest::OutlineMolecule(*result.molecule);
    } catch (const HostIO::ReadError& e) {
        EXPECT_EQ(doc.GetTreeRoot()->GetNumChildren(), 0u) << path;
        return std::string("error ") + e.what();
    }
}

std::string RawBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ExpectAsFromMemory(const std::string& path) {
    const std::string bytes = RawBytes(path);
    EXPECT_EQ(ReadOutcome(true, path, bytes), ReadOutcome(false, path, bytes)) << path;
}

class TempFiles {
public:
    TempFiles() : dir_(fs::temp_directory_path() / ("voltra-in-place-" + std::to_string(::getpid()))) {
        fs::create_directories(dir_);
    }
    ~TempFiles() { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

private:
    fs::path dir_;
};

TEST(ReadInPlace, CorpusFilesReadAsFromMemory) {
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(VOLTRA_CORPUS_DIR)) {
        ExpectAsFromMemory(entry.path().string());  // PDB mapped; mmCIF, PQR and gzip as before
        ++files;
    }
    EXPECT_GE(files, 20u);
}

TEST(ReadInPlace, EdgeCasesReadAsFromMemory) {
    for (const auto& entry : fs::directory_iterator(VOLTRA_PDB_STREAM_CASES_DIR)) {
        ExpectAsFromMemory(entry.path().string());
    }
}

// Records to mend (a cut SSBOND, an old charge column), a coordinate that is no number before
// or after them, a size of whole pages, and a text that is no structure.
TEST(ReadInPlace, TextsToMendOrRefuseReadAsFromMemory) {
    const std::string original = IoTest::ReadText(IoTest::CorpusPath("1BX8.pdb"));
    const std::size_t firstAtom = original.find("\nATOM") + 1;
    const std::string atomLine = original.substr(firstAtom, original.find('\n', firstAtom) - firstAtom + 1);
    auto withCoordinate = [&](std::string text, std::size_t line, const char* field) {
        return text.replace(line + 30, 8, field);
    };
    const std::size_t lastAtom = original.rfind("\nATOM") + 1;
    std::string oldCharge = original;
    oldCharge.replace(firstAtom + 78, 2, "86");
    TempFiles files;
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"cut_ssbond.pdb", "SSBOND   1 CYS A    6    CYS A  127\n" + original},
             {"old_charge.pdb", oldCharge},
             {"nan_first.pdb", withCoordinate(oldCharge, firstAtom, "     nan")},
             {"nan_last.pdb", withCoordinate(oldCharge, lastAtom, "     nan")},
             {"nan_plain.pdb", withCoordinate(original, lastAtom, "     nan")},
             {"whole_pages.pdb", [&] {
                  std::string text = original.substr(0, original.rfind("\nEND") + 1);
                  while (text.size() % 4096 != 0) text += text.size() % 4096 < 4096 - 81 ? atomLine : "\n";
                  return text;
              }()},
             {"binary.pdb", std::string("ATOM\0\x01\x02", 7) + std::string(200, '\x01')},
             {"blank.pdb", "   \n\n"},
         }) {
        ExpectAsFromMemory(files.Write(name, text));
    }
}

// A file over the size limit is refused as from memory, without being mapped.
TEST(ReadInPlace, AFileOverTheSizeLimitIsRefusedAsFromMemory) {
    HostIO::SetInputSizeLimit(1000);
    const std::string path = IoTest::CorpusPath("1BX8.pdb");
    const std::string outcome = ReadOutcome(true, path, RawBytes(path));
    HostIO::SetInputSizeLimit(HostIO::kDefaultInputSizeLimit);
    EXPECT_EQ(outcome.rfind("error ", 0), 0u) << outcome;
    HostIO::SetInputSizeLimit(1000);
    EXPECT_EQ(outcome, ReadOutcome(false, path, RawBytes(path)));
    HostIO::SetInputSizeLimit(HostIO::kDefaultInputSizeLimit);
}

// A mapped file shortened by another program while it is read: the pages past its new end read
// as zeros instead of ending the process with SIGBUS, and the mapping says it is damaged.
TEST(ReadInPlace, AFileShortenedWhileMappedReadsAsZerosAndIsDamaged) {
    TempFiles files;
    const std::string text(3 * 4096 + 100, 'x');
    const std::string path = files.Write("shortened.pdb", text);
    HostIO::MappedFile mapped(path);
    ASSERT_EQ(mapped.Text().size(), text.size());
    EXPECT_FALSE(mapped.Damaged());
    fs::resize_file(path, 10);
    std::size_t zeros = 0;
    for (const char c : mapped.Text()) zeros += c == '\0';
    EXPECT_GE(zeros, 3u * 4096);
    EXPECT_TRUE(mapped.Damaged());
    mapped.Release();
    EXPECT_TRUE(mapped.Damaged());
    EXPECT_TRUE(mapped.Text().empty());
    // A fresh mapping of what is left is whole; beyond a bound on its size, none is made.
    HostIO::MappedFile again(path);
    EXPECT_EQ(again.Text(), std::string(10, 'x'));
    EXPECT_FALSE(again.Damaged());
    EXPECT_EQ(HostIO::MappedFile(path, 10).Text().size(), 10u);
    EXPECT_TRUE(HostIO::MappedFile(path, 9).Text().empty());
}

}  // namespace
