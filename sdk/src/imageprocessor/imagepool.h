#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace BGAPI2 {
namespace imaging {

// Output memory for converted images. A released block is handed out again
// for the next image that fits, so steady-state conversion allocates nothing
// and touches no new pages.
class ImagePool {
public:
    struct Block {
        std::unique_ptr<std::uint8_t[]> memory;
        std::uint64_t capacity = 0;
        bool inUse = false;
    };

    Block* acquire(std::uint64_t size);
    void release(Block* block);
    std::size_t blockCount();

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Block>> m_blocks;
};

}  // namespace imaging
}  // namespace BGAPI2
