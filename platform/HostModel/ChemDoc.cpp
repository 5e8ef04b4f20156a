#include "HostModel/ChemDoc.h"

#include "HostModel/Command.h"

namespace HostModel {

ChemDoc::ChemDoc() : root_(std::make_unique<TreeRoot>(this)) {}

ChemDoc::~ChemDoc() = default;

bool ChemDoc::Execute(Command& command) { return command.Execute(this); }

}  // namespace HostModel
