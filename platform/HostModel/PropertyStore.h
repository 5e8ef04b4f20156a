// Compact named properties of one document object: float or text, each with host flags.
//
// A document may hold millions of atoms with several properties each, so names and texts are
// interned process-wide and an object stores only 12-byte records (name and kind, value, flags). Texts are pooled for the life
// of the process: property texts are a small vocabulary (sources, file names), so each distinct
// text costs its bytes once however many objects carry it.
#pragma once

#include "HostApi.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace HostModel {

using PropertyNameId = std::uint32_t;

/// The process-wide table of property names.
class HOST_API PropertyNames {
public:
    static PropertyNameId Intern(const std::string& name);
    static std::optional<PropertyNameId> Find(const std::string& name);
    static const std::string& GetName(PropertyNameId id);
};

using PropertyTextId = std::uint32_t;

/// The process-wide pool of property texts. Code that writes the same text on many objects
/// interns it once and sets it by id.
class HOST_API PropertyTexts {
public:
    static PropertyTextId Intern(const std::string& text);
    static const std::string& Get(PropertyTextId id);
};

enum class PropertyKind : std::uint8_t { Float, Text };

/// One property for PropertyStore::SetAll: a float, or a pooled text by id, with its flags.
struct PropertySetting {
    PropertyNameId name;
    PropertyKind kind;
    float number;         // for Float
    PropertyTextId text;  // for Text
    unsigned flags;

    static PropertySetting Float(PropertyNameId name, float value, unsigned flags) {
        return {name, PropertyKind::Float, value, 0, flags};
    }
    static PropertySetting TextId(PropertyNameId name, PropertyTextId text, unsigned flags) {
        return {name, PropertyKind::Text, 0.0f, text, flags};
    }
};

/// A property as callers see it.
struct PropertyView {
    std::string name;
    PropertyKind kind;
    unsigned flags;
    float number;      // valid for Float
    std::string text;  // valid for Text
};

class HOST_API PropertyStore {
public:
    PropertyStore() = default;
    PropertyStore(const PropertyStore&) = delete;
    PropertyStore& operator=(const PropertyStore&) = delete;

    bool Has(PropertyNameId name) const { return FindRecord(name) != nullptr; }
    /// Reads a float property; false (value untouched) when absent or textual.
    bool GetFloat(PropertyNameId name, float& value) const;
    /// A float property is rendered in the shortest form that reads back as the same float, with
    /// '.' whatever the locale ("0.1", "-2", "1e+20"); absent reads as empty.
    std::string GetAsString(PropertyNameId name) const;
    /// The pooled text of a text property, without a copy; nullptr when absent or a float.
    const std::string* GetText(PropertyNameId name) const;
    /// The pool id of a text property; false (id untouched) when absent or a float.
    bool GetTextId(PropertyNameId name, PropertyTextId& id) const;
    std::optional<unsigned> GetFlags(PropertyNameId name) const;

    void SetFloat(PropertyNameId name, float value, unsigned flags);
    void SetText(PropertyNameId name, const std::string& text, unsigned flags);
    void SetTextId(PropertyNameId name, PropertyTextId text, unsigned flags);
    /// Sets each of settings as SetFloat or SetTextId would, one after another, with one
    /// allocation at most: the bulk write of an object's properties, such as a million atoms'
    /// charges and radii with their sources. An object without properties takes them in order
    /// without looking any up.
    void SetAll(std::initializer_list<PropertySetting> settings);
    /// Makes room for count properties in all, so that setting them allocates once.
    void Reserve(std::uint32_t count);
    bool Remove(PropertyNameId name);

    std::size_t Size() const { return size_; }
    std::vector<PropertyView> List() const;

private:
    // The kind rides in the top bit of the name id (names never reach 2^31), so the flags keep
    // all 32 bits and a record stays 12 bytes.
    struct Record {
        std::uint32_t nameAndKind;
        std::uint32_t payload;  // float bits or text pool index
        std::uint32_t flags;

        PropertyNameId Name() const { return nameAndKind & ~kTextBit; }
        PropertyKind Kind() const { return (nameAndKind & kTextBit) ? PropertyKind::Text : PropertyKind::Float; }
    };
    static constexpr std::uint32_t kTextBit = 0x80000000u;

    const Record* FindRecord(PropertyNameId name) const;
    Record& FindOrAdd(PropertyNameId name);

    std::unique_ptr<Record[]> records_;
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = 0;
};

}  // namespace HostModel
