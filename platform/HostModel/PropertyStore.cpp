#include "HostModel/PropertyStore.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <unordered_map>

namespace HostModel {
namespace {

// Interns texts. Documents on different threads share the pool, so interning takes a lock
// (shared for lookups, exclusive for a new text, which is rare after a run's first atoms), but
// reading a text by id does not: ids are handed out only after their text is in place, and
// texts never move, because they live in segments of doubling size that are never reallocated.
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
        if (size_ >= limit || size_ >= kCapacity) throw std::length_error("too many distinct property texts");
        const std::uint32_t id = size_;
        const Slot slot = SlotOf(id);
        std::string* segment = segments_[slot.segment].load(std::memory_order_relaxed);
        if (segment == nullptr) {
            segment = new std::string[SegmentSize(slot.segment)];
            segments_[slot.segment].store(segment, std::memory_order_release);
        }
        segment[slot.offset] = text;
        index_.emplace(text, id);
        ++size_;
        return id;
    }
    std::optional<std::uint32_t> Find(const std::string& text) const {
        std::shared_lock<std::shared_mutex> lock(mutex_);
        auto it = index_.find(text);
        if (it == index_.end()) return std::nullopt;
        return it->second;
    }
    const std::string& Get(std::uint32_t id) const {
        const Slot slot = SlotOf(id);
        const std::string* segment =
            slot.segment < kSegments ? segments_[slot.segment].load(std::memory_order_acquire) : nullptr;
        if (segment == nullptr || id >= kCapacity) throw std::out_of_range("no property text with this id");
        return segment[slot.offset];
    }

private:
    // Segment k holds 2^(k + kFirstBits) texts.
    static constexpr unsigned kFirstBits = 6;
    static constexpr unsigned kSegments = 32 - kFirstBits;
    static constexpr std::uint32_t kCapacity = 0xFFFFFFFFu - (1u << kFirstBits);

    struct Slot {
        unsigned segment;
        std::uint32_t offset;
    };
    static std::size_t SegmentSize(unsigned segment) { return std::size_t{1} << (segment + kFirstBits); }
    static Slot SlotOf(std::uint32_t id) {
        const std::uint64_t shifted = std::uint64_t{id} + (1u << kFirstBits);
        unsigned top = 63 - static_cast<unsigned>(__builtin_clzll(shifted));
        return {top - kFirstBits, static_cast<std::uint32_t>(shifted - (std::uint64_t{1} << top))};
    }

    mutable std::shared_mutex mutex_;
    std::atomic<std::string*> segments_[kSegments] = {};
    std::uint32_t size_ = 0;
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

PropertyTextId PropertyTexts::Intern(const std::string& text) {
    return TextPool().Intern(text, std::numeric_limits<std::uint32_t>::max());
}

const std::string& PropertyTexts::Get(PropertyTextId id) { return TextPool().Get(id); }

const PropertyStore::Record* PropertyStore::FindRecord(PropertyNameId name) const {
    for (std::uint32_t i = 0; i < size_; ++i) {
        if (records_[i].Name() == name) return &records_[i];
    }
    return nullptr;
}

void PropertyStore::SetAll(std::initializer_list<PropertySetting> settings) {
    const auto count = static_cast<std::uint32_t>(settings.size());
    const PropertySetting* const setting = settings.begin();
    bool distinct = true;
    for (std::uint32_t a = 1; a < count && distinct; ++a) {
        for (std::uint32_t b = 0; b < a; ++b) {
            if (setting[a].name == setting[b].name) {
                distinct = false;
                break;
            }
        }
    }
    if (size_ == 0 && distinct) {
        // Nothing held to copy over: room of the settings' size, made at once.
        if (capacity_ < count) {
            records_.reset(new Record[count]);
            capacity_ = count;
        }
        Record* record = records_.get();
        for (const PropertySetting& setting : settings) {
            const bool text = setting.kind == PropertyKind::Text;
            *record++ = Record{setting.name | (text ? kTextBit : 0), text ? setting.text : FloatBits(setting.number),
                               setting.flags};
        }
        size_ = count;
        return;
    }
    std::uint32_t added = 0;
    for (auto a = settings.begin(); a != settings.end(); ++a) {
        bool earlier = false;
        for (auto b = settings.begin(); b != a && !earlier; ++b) earlier = a->name == b->name;
        if (!earlier && !Has(a->name)) ++added;
    }
    if (added > std::numeric_limits<std::uint32_t>::max() - size_)
        throw std::length_error("too many properties on one object");
    if (added > 0) Reserve(size_ + added);
    for (const PropertySetting& setting : settings) {
        if (setting.kind == PropertyKind::Text) SetTextId(setting.name, setting.text, setting.flags);
        else SetFloat(setting.name, setting.number, setting.flags);
    }
}

void PropertyStore::Reserve(std::uint32_t count) {
    if (count <= capacity_) return;
    // Left uninitialized: records past size_ are never read, and a million atoms' zeroing shows.
    std::unique_ptr<Record[]> grown(new Record[count]);
    for (std::uint32_t i = 0; i < size_; ++i) grown[i] = records_[i];
    records_ = std::move(grown);
    capacity_ = count;
}

PropertyStore::Record& PropertyStore::FindOrAdd(PropertyNameId name) {
    if (const Record* found = FindRecord(name)) return const_cast<Record&>(*found);
    if (size_ == capacity_) {
        constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
        if (capacity_ == kMax) throw std::length_error("too many properties on one object");
        // Objects carry few properties: grow in small steps to keep per-atom memory tight.
        const std::uint32_t step = capacity_ < 8 ? 2 : capacity_ / 2;
        Reserve(capacity_ > kMax - step ? kMax : capacity_ + step);
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

const std::string* PropertyStore::GetText(PropertyNameId name) const {
    const Record* record = FindRecord(name);
    if (!record || record->Kind() != PropertyKind::Text) return nullptr;
    return &TextPool().Get(record->payload);
}

bool PropertyStore::GetTextId(PropertyNameId name, PropertyTextId& id) const {
    const Record* record = FindRecord(name);
    if (!record || record->Kind() != PropertyKind::Text) return false;
    id = record->payload;
    return true;
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
    SetTextId(name, PropertyTexts::Intern(text), flags);
}

void PropertyStore::SetTextId(PropertyNameId name, PropertyTextId textId, unsigned flags) {
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
