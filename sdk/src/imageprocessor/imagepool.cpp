#include "imagepool.h"

namespace BGAPI2 {
namespace imaging {

ImagePool::Block* ImagePool::acquire(std::uint64_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Block* best = nullptr;
    for (auto& block : m_blocks) {
        if (!block->inUse && block->capacity >= size &&
            (best == nullptr || block->capacity < best->capacity)) {
            best = block.get();
        }
    }
    if (best == nullptr) {
        auto block = std::make_unique<Block>();
        block->memory.reset(new std::uint8_t[size]);
        block->capacity = size;
        best = block.get();
        m_blocks.push_back(std::move(block));
    }
    best->inUse = true;
    return best;
}

void ImagePool::release(Block* block) {
    std::lock_guard<std::mutex> lock(m_mutex);
    block->inUse = false;
}

std::size_t ImagePool::blockCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocks.size();
}

}  // namespace imaging
}  // namespace BGAPI2
