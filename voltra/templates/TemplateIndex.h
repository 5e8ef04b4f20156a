// A hash index over a template's entries by (atom name, residue name), ignoring ASCII case.
#pragma once

#include "templates/TemplateEntry.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Voltra {

/// Answers "the first entry, in entry order, whose atom and residue names equal these ignoring
/// ASCII case" in constant time. Built from a snapshot of the entries; it must be rebuilt
/// when entries are added (Covers tells whether it still describes a vector).
class TemplateIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    explicit TemplateIndex(const std::vector<TemplateEntry>& entries);

    /// Position in the indexed vector of the first matching entry, or npos.
    std::size_t FindFirst(const std::string& atomName, const std::string& residueName) const;
    /// True when the index was built from a vector of this many entries.
    bool Covers(const std::vector<TemplateEntry>& entries) const { return entries.size() == entryCount_; }

private:
    using Key = std::pair<std::string, std::string>;  // both folded to lower case
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };

    std::unordered_map<Key, std::size_t, KeyHash> firstByKey_;
    std::size_t entryCount_;
};

}  // namespace Voltra
