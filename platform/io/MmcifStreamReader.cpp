// The _atom_site table is by far the largest part of an mmCIF file (18M values at 1M atoms);
// gemmi's document keeps each value as a std::string in one vector grown by doubling, which
// costs more than the structure itself. Here gemmi's grammar runs with gemmi's own actions for
// everything else, so the small items stay a document that gemmi::make_structure reads as
// usual, and the table's rows are turned into atoms one at a time, by the same steps as
// make_structure's. Its loop keeps its tags (checks for duplicates and missing columns still see
// them) but no values.
#include "io/MmcifStreamReader.h"

#include "io/GemmiReadErrors.h"
#include "io/ReadError.h"

#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>
#include <gemmi/polyheur.hpp>

#include <cstdlib>
#include <exception>
#include <utility>
#include <vector>

namespace HostIO {
namespace {

namespace cif = gemmi::cif;
namespace pegtl = tao::pegtl;

// gemmi reads an mmCIF without these columns as a structure without models, silently.
void CheckAtomSiteColumns(const cif::Document& document, const std::string& name) {
    if (document.blocks.empty()) throw ReadError(name, "no data block");
    const cif::Block& block = document.blocks[0];
    static const char* const kRequired[] = {"id",      "type_symbol", "label_alt_id", "label_asym_id",  "Cartn_x",
                                            "Cartn_y", "Cartn_z",     "occupancy",    "B_iso_or_equiv", "auth_seq_id"};
    if (!block.has_tag("_atom_site.id") && !block.has_tag("_atom_site.Cartn_x")) {
        throw ReadError(name, "no atoms: block 'data_" + block.name + "' has no _atom_site table");
    }
    std::string missing;
    for (const char* column : kRequired) {
        if (!block.has_tag(std::string("_atom_site.") + column))
            missing += (missing.empty() ? "" : ", ") + std::string("_atom_site.") + column;
    }
    if (!missing.empty()) throw ReadError(name, "the _atom_site table lacks required column(s): " + missing);
    if (!block.has_tag("_atom_site.label_comp_id") && !block.has_tag("_atom_site.auth_comp_id")) {
        throw ReadError(name, "the _atom_site table lacks both _atom_site.label_comp_id and _atom_site.auth_comp_id");
    }
    if (!block.has_tag("_atom_site.label_atom_id") && !block.has_tag("_atom_site.auth_atom_id")) {
        throw ReadError(name, "the _atom_site table lacks both _atom_site.label_atom_id and _atom_site.auth_atom_id");
    }
}

// make_structure's columns, in its order; '?' marks the optional ones.
enum Column {
    kId = 0,
    kGroupPdb,
    kSymbol,
    kLabelAtomId,
    kAltId,
    kLabelCompId,
    kLabelAsymId,
    kLabelEntityId,
    kLabelSeqId,
    kInsCode,
    kX,
    kY,
    kZ,
    kOcc,
    kBiso,
    kCharge,
    kAuthSeqId,
    kAuthCompId,
    kAuthAsymId,
    kAuthAtomId,
    kModelNum,
    kCalcFlag,
    kTlsGroupId,
    kHdMixture,
    kColumnCount
};
const char* const kColumnTags[kColumnCount] = {"id",
                                               "?group_PDB",
                                               "type_symbol",
                                               "?label_atom_id",
                                               "label_alt_id",
                                               "?label_comp_id",
                                               "label_asym_id",
                                               "?label_entity_id",
                                               "?label_seq_id",
                                               "?pdbx_PDB_ins_code",
                                               "Cartn_x",
                                               "Cartn_y",
                                               "Cartn_z",
                                               "occupancy",
                                               "B_iso_or_equiv",
                                               "?pdbx_formal_charge",
                                               "auth_seq_id",
                                               "?auth_comp_id",
                                               "?auth_asym_id",
                                               "?auth_atom_id",
                                               "?pdbx_PDB_model_num",
                                               "?calc_flag",
                                               "?pdbx_tls_group_id",
                                               "?ccp4_hd_mixture"};

// The parse's state: gemmi's document (gemmi's actions fill it) plus the streamed table.
struct StreamState : cif::Document {
    gemmi::Structure atoms;  // models only
    bool loopDecided = false;
    bool inAtomLoop = false;
    bool streamed = false;
    std::size_t width = 0;
    std::size_t valueCount = 0;
    int position[kColumnCount] = {};
    int asymId = 0, compId = 0, atomId = 0;
    std::vector<std::string> row;
    std::string rowError;  // the first error of a row; later rows are not read
    gemmi::Model* model = nullptr;
    gemmi::Chain* chain = nullptr;
    gemmi::Residue* residue = nullptr;

    // Whether the loop just started is the table make_structure would read: the first item of
    // the first block to carry _atom_site.id, at block level, with every required column.
    bool ShouldStream() {
        if (streamed || blocks.size() != 1 || items_ != &blocks[0].items) return false;
        const cif::Loop& loop = items_->back().loop;
        if (loop.find_tag("_atom_site.id") == -1) return false;
        const std::string lcId = "_atom_site.id";
        for (std::size_t i = 0; i + 1 < items_->size(); ++i) {
            const cif::Item& item = (*items_)[i];
            if (item.type == cif::ItemType::Loop && item.loop.find_tag_lc(lcId) != -1) return false;
            if (item.type == cif::ItemType::Pair && gemmi::iequal(item.pair[0], lcId)) return false;
        }
        for (int c = 0; c < kColumnCount; ++c) {
            const char* tag = kColumnTags[c];
            const bool optional = tag[0] == '?';
            position[c] = loop.find_tag(std::string("_atom_site.") + (optional ? tag + 1 : tag));
            if (position[c] == -1 && !optional) return false;
        }
        asymId = position[kAuthAsymId] >= 0 ? kAuthAsymId : kLabelAsymId;
        compId = position[kAuthCompId] >= 0 ? kAuthCompId : kLabelCompId;
        atomId = position[kAuthAtomId] >= 0 ? kAuthAtomId : kLabelAtomId;
        if (position[compId] < 0 || position[atomId] < 0) return false;
        width = loop.tags.size();
        row.assign(width, std::string());
        valueCount = 0;
        streamed = true;
        return true;
    }

    const std::string& At(int c) const { return row[static_cast<std::size_t>(position[c])]; }
    bool Has(int c) const { return position[c] >= 0; }
    bool Has2(int c) const { return Has(c) && !cif::is_null(At(c)); }
    std::string Str(int c) const { return cif::as_string(At(c)); }

    // One row, exactly as make_structure_from_block turns it into an atom.
    void AddRow() {
        FindResidue();
        gemmi::Atom atom = MakeAtom();
        residue->atoms.emplace_back(atom);
        if (Has(kHdMixture) && atom.element.elem == gemmi::El::H)
            gemmi::impl::apply_hd_mixture(residue, cif::as_number(At(kHdMixture)));
    }

    // The model, chain and residue of the row, made where they are new.
    void FindResidue() {
        if (!model) model = &atoms.find_or_add_model(Has(kModelNum) ? Str(kModelNum) : std::string("1"));
        if (Has(kModelNum) && At(kModelNum) != model->name) {
            model = &atoms.find_or_add_model(Str(kModelNum));
            chain = nullptr;
        }
        if (!chain || cif::as_string(At(asymId)) != chain->name) {
            model->chains.emplace_back(cif::as_string(At(asymId)));
            chain = &model->chains.back();
            residue = nullptr;
        }
        gemmi::ResidueId rid = gemmi::impl::make_resid(cif::as_string(At(compId)), cif::as_string(At(kAuthSeqId)),
                                                       Has(kInsCode) ? &At(kInsCode) : nullptr);
        if (!residue || !residue->matches(rid)) {
            residue = chain->find_or_add_residue(rid);
            if (residue->atoms.empty()) DescribeNewResidue();
        } else if (residue->seqid != rid.seqid) {
            gemmi::fail("Inconsistent sequence ID: " + residue->str() + " / " + rid.str());
        }
    }

    void DescribeNewResidue() {
        if (Has2(kLabelSeqId)) residue->label_seq = cif::as_int(At(kLabelSeqId));
        residue->subchain = Str(kLabelAsymId);
        if (Has2(kLabelEntityId)) residue->entity_id = Str(kLabelEntityId);
        if (Has2(kGroupPdb)) {
            for (int i = 0; i < 2; ++i) {  // the first character could be " or '
                const char c = gemmi::alpha_up(At(kGroupPdb)[static_cast<std::size_t>(i)]);
                if (c == 'A' || c == 'H' || c == '\0') residue->het_flag = c;
            }
        }
    }

    gemmi::Atom MakeAtom() const {
        gemmi::Atom atom;
        atom.name = cif::as_string(At(atomId));
        atom.altloc = cif::as_char(At(kAltId), '\0');
        atom.charge = Has2(kCharge) ? static_cast<signed char>(cif::as_int(At(kCharge))) : 0;
        atom.element = gemmi::Element(cif::as_string(At(kSymbol)));
        atom.serial = gemmi::string_to_int(At(kId), false);
        if (Has2(kCalcFlag)) {
            const std::string& cf = At(kCalcFlag);
            if (cf[0] == 'c') atom.calc_flag = gemmi::CalcFlag::Calculated;
            if (cf[0] == 'd') atom.calc_flag = cf[1] == 'u' ? gemmi::CalcFlag::Dummy : gemmi::CalcFlag::Determined;
        }
        if (Has2(kTlsGroupId)) {
            const char* str = At(kTlsGroupId).c_str();
            const char* endptr;
            const int tlsId = gemmi::no_sign_atoi(str, &endptr);
            if (endptr != str) atom.tls_group_id = static_cast<short>(tlsId);
        }
        atom.pos.x = cif::as_number(At(kX));
        atom.pos.y = cif::as_number(At(kY));
        atom.pos.z = cif::as_number(At(kZ));
        atom.occ = static_cast<float>(cif::as_number(At(kOcc), 1.0));
        atom.b_iso = static_cast<float>(cif::as_number(At(kBiso), 50.0));
        return atom;
    }
};

template <typename Rule>
struct StreamAction : cif::Action<Rule> {};

template <>
struct StreamAction<cif::rules::str_loop> {
    template <typename Input>
    static void apply(const Input& in, StreamState& state) {
        cif::Action<cif::rules::str_loop>::apply(in, static_cast<cif::Document&>(state));
        state.loopDecided = false;
        state.inAtomLoop = false;
    }
};

template <>
struct StreamAction<cif::rules::loop_value> {
    template <typename Input>
    static void apply(const Input& in, StreamState& state) {
        if (!state.loopDecided) {
            state.loopDecided = true;
            state.inAtomLoop = state.ShouldStream();
        }
        if (!state.inAtomLoop) {
            cif::Action<cif::rules::loop_value>::apply(in, static_cast<cif::Document&>(state));
            return;
        }
        const std::size_t column = state.valueCount++ % state.width;
        state.row[column].assign(in.begin(), in.size());
        if (column + 1 == state.width && state.rowError.empty()) {
            try {
                state.AddRow();
            } catch (const std::exception& e) {
                state.rowError = e.what();
            }
        }
    }
};

template <>
struct StreamAction<cif::rules::loop> {
    template <typename Input>
    static void apply(const Input& in, StreamState& state) {
        if (!state.inAtomLoop) {
            cif::Action<cif::rules::loop>::apply(in, static_cast<cif::Document&>(state));
            return;
        }
        state.inAtomLoop = false;
        if (state.valueCount % state.width != 0) throw pegtl::parse_error("Wrong number of values in the loop", in);
    }
};

gemmi::Structure MakeStructure(const cif::Document& document, const std::string& name) {
    try {
        return gemmi::make_structure(document);
    } catch (const std::exception& e) {
        throw ReadError(name, LowerFirst(e.what()));
    }
}

}  // namespace

gemmi::Structure ReadMmcifThroughDocument(const std::string& text, const std::string& name) {
    cif::Document document;
    try {
        document = cif::read_memory(text.data(), text.size(), name.c_str());
    } catch (const std::exception& e) {
        ThrowCifReaderError(name, e.what());
    }
    CheckAtomSiteColumns(document, name);
    gemmi::Structure structure = MakeStructure(document, name);
    // mmCIF names its entities; where it does not, gemmi guesses.
    gemmi::add_entity_types(structure, false);
    return structure;
}

gemmi::Structure ReadMmcifStreaming(const std::string& text, const std::string& name) {
    StreamState state;
    try {
        pegtl::memory_input<> in(text.data(), text.size(), name.c_str());
        state.source = in.source();
        pegtl::parse<cif::rules::file, StreamAction, cif::Errors>(in, state);
        cif::check_for_missing_values(state);
        cif::check_for_duplicates(state);
    } catch (const std::exception& e) {
        ThrowCifReaderError(name, e.what());
    }
    CheckAtomSiteColumns(state, name);
    if (!state.rowError.empty()) throw ReadError(name, LowerFirst(state.rowError));
    // Without the table's values gemmi makes everything but the models.
    gemmi::Structure structure = MakeStructure(state, name);
    if (state.streamed) {
        structure.models = std::move(state.atoms.models);
        try {
            // The steps of make_structure that look at the models, after them as there.
            cif::Block& block = state.blocks[0];
            if (!block.find("_struct_asym.", {"id", "entity_id"}).ok() && !structure.models.empty()) {
                for (const gemmi::Chain& chain : structure.models[0].chains) {
                    for (const gemmi::ConstResidueSpan& sub : chain.subchains()) {
                        const gemmi::Residue& r = sub.front();
                        if (gemmi::Entity* ent = structure.get_entity(r.entity_id))
                            if (!gemmi::in_vector(r.subchain, ent->subchains)) ent->subchains.push_back(r.subchain);
                    }
                }
            }
            gemmi::impl::fill_residue_entity_type(structure);
            gemmi::impl::read_sifts_unp(block, structure);
        } catch (const std::exception& e) {
            throw ReadError(name, LowerFirst(e.what()));
        }
    }
    gemmi::add_entity_types(structure, false);
    return structure;
}

gemmi::Structure ReadMmcifStructure(const std::string& text, const std::string& name) {
    // VOLTRA_MMCIF_STREAMING=0 reads through gemmi's document, for comparisons.
    static const bool streaming = [] {
        const char* value = std::getenv("VOLTRA_MMCIF_STREAMING");
        return !(value && std::string(value) == "0");
    }();
    if (!streaming) return ReadMmcifThroughDocument(text, name);
    try {
        return ReadMmcifStreaming(text, name);
    } catch (const ReadError&) {
        // gemmi's messages in gemmi's order: content errors before and after the atoms.
        return ReadMmcifThroughDocument(text, name);
    }
}

}  // namespace HostIO
