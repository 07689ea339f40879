#include "grabhost.h"

int GrabHost::OnFrameReady(ICameraObject* camera) {
    const std::uint32_t id = camera->m_nFrameId;
    QImage copy;
    bool save = false;
    std::uint64_t count = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stats.lost += m_gaps.missingBefore(id);
        save = m_saving && m_stats.frames % static_cast<std::uint64_t>(m_saveEvery) == 0;
        count = m_stats.frames++;
        m_stats.width = camera->m_nWidth;
        m_stats.height = camera->m_nHeight;
    }
    if (save) {
        // The pixels are only valid during this call: copy them now.
        copy = copyFrame(camera, m_layout, m_depth);
    }
    bool awaited = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!copy.isNull()) {
            m_saved.push_back({copy, count});
        }
        awaited = !m_saved.empty() || m_stats.frames >= m_awaited;
    }
    if (awaited) {
        m_cv.notify_all();
    }
    return 0;
}

GrabHost::Stats GrabHost::stats() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats;
}

bool GrabHost::waitFrames(std::uint64_t frames, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_awaited = frames;
    return m_cv.wait_for(lock, timeout, [&] {
        return m_stats.frames >= frames || !m_saved.empty();
    }) && m_stats.frames >= frames;
}

bool GrabHost::takeSaved(Saved* saved) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_saved.empty()) {
        return false;
    }
    *saved = m_saved.front();
    m_saved.pop_front();
    return true;
}
