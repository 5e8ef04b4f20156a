#include "Common/StringTable.h"

#include <algorithm>

namespace Common {

StaticStringTable::StaticStringTable(unsigned moduleId, const StringEntry* rows, unsigned rowCount)
    : moduleId_(moduleId), rows_(rows), rowCount_(rowCount) {
    StringLoader::Instance().tables_.push_back(this);
}

StaticStringTable::~StaticStringTable() {
    auto& tables = StringLoader::Instance().tables_;
    tables.erase(std::remove(tables.begin(), tables.end(), this), tables.end());
}

const wchar_t* StaticStringTable::Find(std::uint32_t id) const {
    for (unsigned i = 0; i < rowCount_; ++i) {
        if (rows_[i].id == id) return rows_[i].text;
    }
    return nullptr;
}

StringLoader& StringLoader::Instance() {
    // Never destroyed: modules unloaded during process exit still unregister safely.
    static StringLoader* instance = new StringLoader();
    return *instance;
}

const wchar_t* StringLoader::Find(unsigned id) const {
    for (auto it = tables_.rbegin(); it != tables_.rend(); ++it) {
        if (const wchar_t* text = (*it)->Find(id)) return text;
    }
    return nullptr;
}

std::wstring StringLoader::GetString(unsigned id) const {
    const wchar_t* text = Find(id);
    return text ? std::wstring(text) : std::wstring();
}

bool StringLoader::HasString(unsigned id) const { return Find(id) != nullptr; }

}  // namespace Common
