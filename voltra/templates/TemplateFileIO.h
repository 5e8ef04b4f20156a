// Loading ".crg" and ".siz" template files from the host's shared templates directory.
#pragma once

#include "templates/Template.h"

#include <iosfwd>
#include <string>

namespace Voltra {

/// Loads <persistence root>/../share/voltra/templates/<fileName> into a new ChargeTemplate
/// (".crg") or RadiusTemplate (".siz", tested first) and resets out to it. Throws
/// Common::Exception with ErrorPersistenceNotInitialized, ErrorReadingTemplateFile (the file
/// does not open, or reading it fails before its end) or ErrorInvalidTemplateExtension; out is
/// left unchanged whenever it throws.
void LoadTemplate(const std::string& fileName, TemplatePtr& out);

/// One template line as an entry: white-space separated tokens up to a token starting with
/// "!", at least two, the last one starting with a number. An entry with an empty atom name
/// means the line holds none.
TemplateEntry ParseTemplateLine(const std::string& line);

/// A new empty template of the kind fileName asks for, or null when it has neither extension.
TemplatePtr CreateTemplateFor(const std::string& fileName);

/// Adds the entry of every line of in to t. Throws ErrorReadingTemplateFile naming
/// displayName when the stream fails other than by reaching its end.
void ReadTemplateEntries(std::istream& in, Template& t, const std::wstring& displayName);

}  // namespace Voltra
