// Writes the values of loaded templates, with their provenance, onto the atoms of a document's
// visible molecules, and records on each molecule which template file was applied.
#pragma once

#include "templates/Template.h"

#include <vector>

namespace HostModel {
class ChemDoc;
class TreeRoot;
}  // namespace HostModel

namespace Voltra {

/// Gives every atom of every visible molecule charge and radius 0.0, both Sources "Missing".
/// Does nothing for a null document or one without a tree root.
void ResetTemplateProperties(HostModel::ChemDoc* doc);

/// One assignment pass over a document. Destroying it (also while an exception leaves the
/// caller) starts the "VoltraTracker" chemistry tracker on the document's tree root.
class TemplateApplicator {
public:
    /// doc may be null; the applicator then does nothing.
    explicit TemplateApplicator(HostModel::ChemDoc* doc);
    ~TemplateApplicator();
    TemplateApplicator(const TemplateApplicator&) = delete;
    TemplateApplicator& operator=(const TemplateApplicator&) = delete;

    /// Per-atom values of a charge template, the N-terminal charge unless its Source is
    /// "Amber", and the molecule record. A null template does nothing.
    void ApplyChargeTemplate(TemplatePtr chargeTemplate);
    /// Per-atom values of a radius template and the molecule record. A null template does nothing.
    void ApplyRadiusTemplate(TemplatePtr radiusTemplate);

    struct Pass {
        TemplatePtr values;  // null passes do nothing
        bool charge;         // applied as ApplyChargeTemplate, else as ApplyRadiusTemplate
    };
    /// What ResetTemplateProperties and then one Apply...Template per pass, in order, do. The
    /// atoms are walked once for all of them (AssignAtomsInOneWalk, on two threads for a large
    /// document), and then the molecules, unless a pass writes the Source that an earlier
    /// pass's N-terminal charge wrote (it would see that charge before its own values); then in
    /// turn.
    void ResetAndApply(const std::vector<Pass>& passes);

private:
    void Apply(const Template& t, bool nTerminalRule);

    HostModel::TreeRoot* root_;  // not owned; null when there is nothing to apply to
};

}  // namespace Voltra
