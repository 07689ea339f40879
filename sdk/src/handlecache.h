#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "bgapi2_genicam/bgapi2_genicam.hpp"

namespace BGAPI2 {
namespace Backend {

// Keeps one handle per back-end object for the life of its list, so that a
// pointer handed out stays valid across refreshes.
template <typename Handle, typename BackendT>
class HandleCache {
public:
    Handle* get(const std::shared_ptr<BackendT>& backend) {
        for (auto& item : m_items) {
            if (item.first == backend.get()) {
                return item.second.get();
            }
        }
        m_items.emplace_back(backend.get(), std::make_unique<Handle>(backend));
        return m_items.back().second.get();
    }

    // Rebuilds a list's entries from the producer's current children.
    void fill(std::vector<std::pair<String, Handle*>>& entries,
              const std::vector<std::shared_ptr<BackendT>>& backends) {
        entries.clear();
        for (const auto& backend : backends) {
            entries.emplace_back(String(backend->id()), get(backend));
        }
    }

private:
    std::vector<std::pair<const BackendT*, std::unique_ptr<Handle>>> m_items;
};

}  // namespace Backend
}  // namespace BGAPI2
