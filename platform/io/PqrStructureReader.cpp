#include "io/PqrStructureReader.h"

#include "io/AtomNameElement.h"
#include "io/ModelSelection.h"
#include "io/ResidueClassification.h"

#include "HostModel/Atom.h"

#include <cstdlib>
#include <utility>

namespace HostIO {
namespace {

// gemmi's marker for "no sequence number", kept so that PQR files read as they always have.
constexpr int kNoSequenceNumber = -999;

struct PqrAtom {
    std::string_view name;
    int atomicNumber;
    double x, y, z;  // Å
    float charge;    // e
    float radius;    // Å
};

struct PqrResidue {
    std::string_view name;
    int number;
    char insertionCode;  // ' ' when none
    bool hetatm;
    std::size_t firstAtom;
};

struct PqrPart {
    std::string_view chain;
    std::size_t firstResidue;
};

// Keeps the records of the model to be read, views into the file's text; of the other models
// only their names.
class PqrModelCollector : public PqrHandler {
public:
    explicit PqrModelCollector(int wantedModel) : wanted_(wantedModel) {}

    void OnAtom(const PqrAtomRecord& record) override;
    void OnTer() override { partOpen_ = false; }
    void OnModel(int number) override { StartModel(number); }
    void OnEndModel() override {
        inModel_ = false;
        partOpen_ = false;
    }

    std::vector<std::string> modelNames;
    std::vector<PqrPart> parts;
    std::vector<PqrResidue> residues;
    std::vector<PqrAtom> atoms;

private:
    void StartModel(int number);
    bool ContinuesResidue(const PqrAtomRecord& record) const;

    int wanted_;
    bool selected_ = false;
    bool collecting_ = false;
    bool inModel_ = false;
    bool partOpen_ = false;
};

void PqrModelCollector::StartModel(int number) {
    modelNames.push_back(std::to_string(number > 0 ? number : static_cast<int>(modelNames.size()) + 1));
    // The first model of the number wanted, as model selection finds it.
    collecting_ = !selected_ && (wanted_ == 0 || modelNames.back() == std::to_string(wanted_));
    selected_ = selected_ || collecting_;
    inModel_ = true;
    partOpen_ = false;
}

bool PqrModelCollector::ContinuesResidue(const PqrAtomRecord& record) const {
    const PqrResidue& last = residues.back();
    // Insertion codes compare ignoring case, as gemmi's sequence ids do.
    return last.number == record.residueNumber && (last.insertionCode | 0x20) == (record.insertionCode | 0x20) &&
           last.name == record.residueName;
}

void PqrModelCollector::OnAtom(const PqrAtomRecord& record) {
    if (!inModel_) StartModel(0);
    if (!collecting_) return;
    const bool newPart = !partOpen_ || parts.back().chain != record.chain;
    if (newPart) {
        parts.push_back({record.chain, residues.size()});
        partOpen_ = true;
    }
    if (newPart || !ContinuesResidue(record)) {
        residues.push_back(
            {record.residueName, record.residueNumber, record.insertionCode, record.hetatm, atoms.size()});
    }
    atoms.push_back({record.atomName, ElementFromAtomName(record.atomName, record.residueName), record.x, record.y,
                     record.z, record.charge, record.radius});
}

ResidueSite SiteOf(const PqrResidue& residue) {
    ResidueSite site;
    site.name = residue.name;
    if (residue.number != kNoSequenceNumber) site.number = residue.number;
    site.insertionCode = residue.insertionCode == ' ' ? '\0' : residue.insertionCode;
    return site;
}

// The atoms of residues[r], as [begin, end) of atoms.
std::pair<std::size_t, std::size_t> AtomRange(const PqrModelCollector& file, std::size_t r) {
    const std::size_t end = r + 1 < file.residues.size() ? file.residues[r + 1].firstAtom : file.atoms.size();
    return {file.residues[r].firstAtom, end};
}

std::vector<ResidueClass> ClassifyResidues(const PqrModelCollector& file, std::size_t begin, std::size_t end) {
    std::vector<ResidueClass> classes;
    classes.reserve(end - begin);
    for (std::size_t r = begin; r < end; ++r) {
        ResidueFacts facts;
        facts.name = file.residues[r].name;
        facts.hetatm = file.residues[r].hetatm;
        const auto [first, last] = AtomRange(file, r);
        for (std::size_t a = first; a < last; ++a)
            NoteBackboneAtom(facts, file.atoms[a].name, file.atoms[a].atomicNumber);
        classes.push_back(ClassifyResidue(facts));
    }
    return classes;
}

void BuildPart(const PqrModelCollector& file, std::size_t p, HostTreeBuilder& builder) {
    const std::size_t begin = file.parts[p].firstResidue;
    const std::size_t end = p + 1 < file.parts.size() ? file.parts[p + 1].firstResidue : file.residues.size();
    const std::vector<ResidueClass> classes = ClassifyResidues(file, begin, end);
    builder.StartPart(std::string(file.parts[p].chain), PolymerKindByMajority(classes));
    std::vector<AtomSite> sites;
    for (std::size_t r = begin; r < end; ++r) {
        sites.clear();
        const auto [first, last] = AtomRange(file, r);
        for (std::size_t a = first; a < last; ++a) {
            const PqrAtom& atom = file.atoms[a];
            sites.push_back({atom.name, atom.atomicNumber, atom.x, atom.y, atom.z});
        }
        builder.AddResidue(SiteOf(file.residues[r]), classes[r - begin], sites);
    }
}

// The file's values on the atoms built, which come in the order of the records.
void TakeChargesAndRadii(const PqrModelCollector& file, PqrModelRead& read) {
    const std::vector<HostModel::Atom*>& built = read.model.built.atoms;
    read.radii.reserve(built.size());
    for (std::size_t i = 0; i < built.size(); ++i) {
        built[i]->SetPartialCharge(file.atoms[i].charge);
        read.totalCharge += file.atoms[i].charge;
        read.radii.push_back({built[i], file.atoms[i].radius});
    }
}

}  // namespace

PqrModelRead ReadPqrModel(const std::string& text, const std::string& name, int modelNumber, const std::string& label) {
    PqrModelRead read;
    PqrModelCollector file(modelNumber);
    read.remarks = ParsePqr(text, name, file);
    read.model.modelCount = file.modelNames.size();
    const std::string& modelName = file.modelNames[SelectModel(file.modelNames, modelNumber, name)];
    read.model.modelNumber = std::atoi(modelName.c_str());
    CheckModelHasAtoms(file.atoms.size(), modelName, file.modelNames.size(), modelNumber, name);

    HostTreeBuilder builder(label, name);
    for (std::size_t p = 0; p < file.parts.size(); ++p) BuildPart(file, p, builder);
    read.model.built = builder.Finish();
    TakeChargesAndRadii(file, read);
    return read;
}

}  // namespace HostIO
