// The host's string service: modules register tables of wide texts under numeric ids.
#pragma once

#include "HostApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Common {

/// A registered table of messages. The texts resolve while the object lives; its
/// destruction withdraws them. The rows must outlive the object.
class HOST_API StaticStringTable {
public:
    struct StringEntry {
        std::uint32_t id;
        const wchar_t* text;
    };

    StaticStringTable(unsigned moduleId, const StringEntry* rows, unsigned rowCount);
    ~StaticStringTable();
    StaticStringTable(const StaticStringTable&) = delete;
    StaticStringTable& operator=(const StaticStringTable&) = delete;

    unsigned GetModuleId() const { return moduleId_; }
    /// The text of id in this table, or null.
    const wchar_t* Find(std::uint32_t id) const;

private:
    unsigned moduleId_;
    const StringEntry* rows_;
    unsigned rowCount_;
};

/// Resolves ids against every registered table; the most recently registered wins.
class HOST_API StringLoader {
public:
    static StringLoader& Instance();

    /// The registered text of id, or an empty text when no table registers it.
    std::wstring GetString(unsigned id) const;
    bool HasString(unsigned id) const;

private:
    friend class StaticStringTable;
    StringLoader() = default;
    const wchar_t* Find(unsigned id) const;

    std::vector<const StaticStringTable*> tables_;
};

}  // namespace Common
