// The children an object owns, in order. The object holds one pointer; the list (its counts and
// the children's pointers, in one block) is made by the first child added, so an atom, which
// never has children, carries 8 bytes for it instead of a std::vector's 24.
#pragma once

#include "HostApi.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace HostModel {

class Object;

class HOST_API ChildList {
public:
    ChildList() = default;
    /// Destroys the children, first to last.
    ~ChildList();
    ChildList(const ChildList&) = delete;
    ChildList& operator=(const ChildList&) = delete;

    std::size_t size() const { return block_ ? block_->size : 0; }
    bool empty() const { return size() == 0; }
    std::size_t capacity() const { return block_ ? block_->capacity : 0; }
    Object* operator[](std::size_t index) const { return Children()[index]; }
    /// Position of child in the list; size() when it is not there.
    std::size_t find(const Object* child) const;

    /// Makes room for count children in one allocation. Throws std::length_error past 2^32 - 1.
    void reserve(std::size_t count);
    /// Takes child (not null) at the end of the list.
    Object& push_back(std::unique_ptr<Object> child);
    /// Hands back the child at index; the others keep their order. The list stays allocated.
    std::unique_ptr<Object> release(std::size_t index);

private:
    // The children's pointers follow the header in the same allocation; each is owned.
    struct Block {
        std::uint32_t size;
        std::uint32_t capacity;
    };
    static_assert(sizeof(Block) % alignof(Object*) == 0, "the pointers after a block's header are misaligned");

    Object** Children() const { return reinterpret_cast<Object**>(block_ + 1); }

    Block* block_ = nullptr;
};

}  // namespace HostModel
