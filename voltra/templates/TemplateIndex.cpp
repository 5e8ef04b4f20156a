// Hash index of template entries; folding only A-Z keeps it equal to Common::CompareNoCase.
#include "templates/TemplateIndex.h"

#include "Common/Text.h"

#include <functional>

namespace Voltra {
std::size_t TemplateIndex::KeyHash::operator()(const Key& key) const {
    const std::hash<std::string> hash;
    const std::size_t h = hash(key.first);
    return h ^ (hash(key.second) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

TemplateIndex::TemplateIndex(const std::vector<TemplateEntry>& entries) : entryCount_(entries.size()) {
    firstByKey_.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        // emplace keeps the existing position of a duplicate: the first entry wins.
        firstByKey_.emplace(
            Key(Common::ToLowerAscii(entries[i].atomName), Common::ToLowerAscii(entries[i].residueName)), i);
    }
}

std::size_t TemplateIndex::FindFirst(const std::string& atomName, const std::string& residueName) const {
    const auto it = firstByKey_.find(Key(Common::ToLowerAscii(atomName), Common::ToLowerAscii(residueName)));
    return it == firstByKey_.end() ? npos : it->second;
}

}  // namespace Voltra
