#include "HostModel/ChildList.h"

#include "HostModel/Object.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

namespace HostModel {

ChildList::~ChildList() {
    if (!block_) return;
    Object** const children = Children();
    for (std::uint32_t i = 0; i < block_->size; ++i) delete children[i];
    ::operator delete(block_);
}

std::size_t ChildList::find(const Object* child) const {
    if (!block_) return 0;
    Object** const children = Children();
    return static_cast<std::size_t>(std::find(children, children + block_->size, child) - children);
}

void ChildList::reserve(std::size_t count) {
    if (count <= capacity()) return;
    if (count > UINT32_MAX) {
        throw std::length_error("ChildList: room for " + std::to_string(count) + " children asked, at most " +
                                std::to_string(UINT32_MAX) + " fit");
    }
    void* raw = ::operator new(sizeof(Block) + count * sizeof(Object*));
    auto* grown = new (raw) Block{static_cast<std::uint32_t>(size()), static_cast<std::uint32_t>(count)};
    if (block_) {
        std::copy(Children(), Children() + block_->size, reinterpret_cast<Object**>(grown + 1));
        ::operator delete(block_);
    }
    block_ = grown;
}

Object& ChildList::push_back(std::unique_ptr<Object> child) {
    // Grown to 1, 3, 7, 15... children: with the header, blocks of 16, 32, 64, 128... bytes,
    // each filling an allocator size class.
    const std::size_t count = size();
    if (count == capacity()) reserve(2 * count + 1);
    Object* added = child.release();
    Children()[block_->size++] = added;
    return *added;
}

std::unique_ptr<Object> ChildList::release(std::size_t index) {
    Object** const children = Children();
    std::unique_ptr<Object> released(children[index]);
    std::copy(children + index + 1, children + block_->size, children + index);
    --block_->size;
    return released;
}

}  // namespace HostModel
