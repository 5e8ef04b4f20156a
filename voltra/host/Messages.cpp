// The module's message table and its registration with the host's string service.
#include "host/Messages.h"

#include "Common/StringConversion.h"
#include "Common/StringTable.h"

namespace Voltra {
namespace {

// Row i carries id (kVoltraModuleId << 16) + i; the rows are constant data, so the
// registration below stays the module's only dynamic initialisation.
const Common::StaticStringTable::StringEntry kMessageRows[kMessageCount] = {
    {NameApplyForcefieldParameters, L"Apply Forcefield Parameters"},
    {NameZeroCharges, L"Zero Charges"},
    {NameParse, L"Parse"},
    {NameAmberPlusDefault, L"Amber + Default"},
    {NameDefaultChargeAndSize, L"Voltra Default Charge and Size"},
    {NameInvalidateTemplates, L"Invalidate Electrostatics Templates"},
    {ErrorNoForcefield, L"Please apply a forcefield before using this command."},
    {ErrorLoadingRadiiTemplate, L"There was an error loading the radii template."},
    {ErrorPersistenceNotInitialized, L"The Persistence library was not initialized."},
    {ErrorReadingTemplateFile, L"There was an error reading the template file %1."},
    {ErrorInvalidTemplateExtension,
     L"The template file %1 has an invalid file extension. The supported extensions are .crg and .siz"},
    {ErrorNotExactlyOneMolecule, L"There must be exactly one molecule for Voltra to work. Aborting."},
    {ErrorMoleculeCorrupted, L"The molecule is corrupted. Aborting"},
    {ErrorNoTemplateApplied, L"No template was applied to the molecule. Aborting."},
};

// Registered when the module loads and withdrawn when it unloads, after every cached name
// and shared template made in between has been destroyed (reverse order of construction).
const Common::StaticStringTable messageRegistration(kVoltraModuleId, kMessageRows, kMessageCount);

}  // namespace

std::wstring LoadMessage(MessageId id) { return Common::StringLoader::Instance().GetString(id); }

std::string LoadMessageNarrow(MessageId id) { return Common::ToSString(LoadMessage(id)); }

const char* CachedName::Get() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!filled_) {
        filled_ = true;
        try {
            text_ = LoadMessageNarrow(id_);
        } catch (...) {
            // Leave the cache empty so that the next call tries again.
            filled_ = false;
            throw;
        }
    }
    return text_.c_str();
}

}  // namespace Voltra
