#include "HostModel/PropertyStore.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <deque>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <unordered_map>

namespace HostModel {
namespace {

// Interns texts; references stay valid because the deque never moves its elements. Documents on
// different threads share the pool, so it takes a lock: shared for lookups, exclusive for a
// new text (rare after the first atoms of a run).
class StringPool {
public:
    std::uint32_t Intern(const std::string& text, std::uint32_t limit) {
        {
            std::shared_lock<std::shared_mutex> lock(mutex_);
            auto it = index_.find(text);
            if (it != index_.end()) return it->second;
        }
        std::unique_lock<std::shared_mutex> lock(mutex_);
        auto it = index_.find(text);
        if (it != index_.end()) return it->second;
        if (texts_.size() >= limit) throw std::length_error("too many distinct property texts");
        const auto id = static_cast<std::uint32_t>(texts_.size());
        texts_.push_back(text);
        index_.emplace(texts_.back(), id);
        return id;
    }
    std::optional<std::uint32_t> Find(const std::string& text) const {
        std::shared_lock<std::shared_mutex> lock(mutex_);
        auto it = index_.find(text);
        if (it == index_.end()) return std::nullopt;
        return it->second;
    }
    const std::string& Get(std::uint32_t id) const {
        std::shared_lock<std::shared_mutex> lock(mutex_);
        return texts_.at(id);
    }

private:
    mutable std::shared_mutex mutex_;
    std::deque<std::string> texts_;
    std::unordered_map<std::string, std::uint32_t> index_;
};

// Leaked on purpose: objects may outlive static destruction order at process exit.
StringPool& NamePool() {
    static auto* pool = new StringPool();
    return *pool;
}

StringPool& TextPool() {
    static auto* pool = new StringPool();
    return *pool;
}

std::uint32_t FloatBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float BitsFloat(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

PropertyNameId PropertyNames::Intern(const std::string& name) { return NamePool().Intern(name, 0x7FFFFFFFu); }

std::optional<PropertyNameId> PropertyNames::Find(const std::string& name) { return NamePool().Find(name); }

const std::string& PropertyNames::GetName(PropertyNameId id) { return NamePool().Get(id); }

const PropertyStore::Record* PropertyStore::FindRecord(PropertyNameId name) const {
    for (std::uint32_t i = 0; i < size_; ++i) {
        if (records_[i].Name() == name) return &records_[i];
    }
    return nullptr;
}

PropertyStore::Record& PropertyStore::FindOrAdd(PropertyNameId name) {
    if (const Record* found = FindRecord(name)) return const_cast<Record&>(*found);
    if (size_ == capacity_) {
        constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
        if (capacity_ == kMax) throw std::length_error("too many properties on one object");
        // Objects carry few properties: grow in small steps to keep per-atom memory tight.
        const std::uint32_t step = capacity_ < 8 ? 2 : capacity_ / 2;
        const std::uint32_t newCapacity = capacity_ > kMax - step ? kMax : capacity_ + step;
        auto grown = std::make_unique<Record[]>(newCapacity);
        for (std::uint32_t i = 0; i < size_; ++i) grown[i] = records_[i];
        records_ = std::move(grown);
        capacity_ = newCapacity;
    }
    Record& record = records_[size_++];
    record.nameAndKind = name;
    return record;
}

bool PropertyStore::GetFloat(PropertyNameId name, float& value) const {
    const Record* record = FindRecord(name);
    if (!record || record->Kind() != PropertyKind::Float) return false;
    value = BitsFloat(record->payload);
    return true;
}

std::string PropertyStore::GetAsString(PropertyNameId name) const {
    const Record* record = FindRecord(name);
    if (!record) return {};
    if (record->Kind() == PropertyKind::Text) return TextPool().Get(record->payload);
    // to_chars ignores the locale (a host that switched to a decimal comma must not change
    // what it writes) and gives the shortest text that reads back as the same float.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, BitsFloat(record->payload));
    return std::string(buffer, result.ptr);
}

std::optional<unsigned> PropertyStore::GetFlags(PropertyNameId name) const {
    const Record* record = FindRecord(name);
    if (!record) return std::nullopt;
    return record->flags;
}

void PropertyStore::SetFloat(PropertyNameId name, float value, unsigned flags) {
    Record& record = FindOrAdd(name);
    record.nameAndKind = name;
    record.payload = FloatBits(value);
    record.flags = flags;
}

void PropertyStore::SetText(PropertyNameId name, const std::string& text, unsigned flags) {
    const std::uint32_t textId = TextPool().Intern(text, std::numeric_limits<std::uint32_t>::max());
    Record& record = FindOrAdd(name);
    record.nameAndKind = name | kTextBit;
    record.payload = textId;
    record.flags = flags;
}

bool PropertyStore::Remove(PropertyNameId name) {
    for (std::uint32_t i = 0; i < size_; ++i) {
        if (records_[i].Name() == name) {
            for (std::uint32_t k = i; k + 1 < size_; ++k) records_[k] = records_[k + 1];
            --size_;
            return true;
        }
    }
    return false;
}

std::vector<PropertyView> PropertyStore::List() const {
    std::vector<PropertyView> out;
    out.reserve(size_);
    for (std::uint32_t i = 0; i < size_; ++i) {
        const Record& r = records_[i];
        PropertyView view{PropertyNames::GetName(r.Name()), r.Kind(), r.flags, 0.0f, {}};
        if (r.Kind() == PropertyKind::Float) {
            view.number = BitsFloat(r.payload);
        } else {
            view.text = TextPool().Get(r.payload);
        }
        out.push_back(std::move(view));
    }
    return out;
}

}  // namespace HostModel
