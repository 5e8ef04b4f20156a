// What the three template-file commands share: load a fixed set of template files, optionally
// add and name hydrogens, reset the assignment and apply the templates in order.
#pragma once

#include <cstddef>

namespace HostModel {
class ChemDoc;
class Command;
}  // namespace HostModel

namespace Voltra {

enum class TemplateKind { Charge, Radius };

struct TemplateStep {
    const char* fileName;  // bare name, found in the module's template directory
    TemplateKind kind;
};

/// One command's templates, loaded and then applied in the same order.
struct TemplateSet {
    TemplateStep steps[3];
    std::size_t stepCount;
    int hydrogenSelector;  // 0: no hydrogen step; 1: all hydrogens; 2: electrostatic hydrogens
};

/// The Do of a template-file command. A template that fails to load (Common::Exception) gives
/// false with the loader's message as the command's error message, the document untouched.
/// A null document gives false.
bool RunTemplateSet(HostModel::Command& command, HostModel::ChemDoc* doc, const TemplateSet& set);

/// Adds hydrogens of the selector's set (1: Atom::HydrogenSet 0, 2: set 2) and names them, each
/// through the document's command execution; false for any other selector or a null document.
bool AddAndNameHydrogens(int selector, HostModel::ChemDoc* doc);

}  // namespace Voltra
