#include "viewerhost.h"

void ViewerHost::setLayout(FrameLayout layout, int depth) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_layout = layout;
    m_depth = depth;
}

int ViewerHost::OnFrameReady(ICameraObject* camera) {
    FrameLayout layout;
    int depth;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        layout = m_layout;
        depth = m_depth;
    }
    // The copy is made outside the lock: painting never holds up delivery.
    QImage copy = copyFrame(camera, layout, depth);
    const std::uint32_t id = camera->m_nFrameId;
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_counts.frames;
    m_counts.lost += m_gaps.missingBefore(id);
    if (copy.isNull()) {
        return 0;
    }
    if (m_fresh) {
        ++m_counts.dropped;
    }
    m_newest = std::move(copy);
    m_fresh = true;
    return 0;
}

bool ViewerHost::takeNewest(QImage* image) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_fresh) {
        return false;
    }
    m_fresh = false;
    *image = std::move(m_newest);
    m_newest = QImage();
    return true;
}

ViewerHost::Counts ViewerHost::counts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counts;
}

void ViewerHost::reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_counts = Counts();
    m_gaps.reset();
    m_fresh = false;
    m_newest = QImage();
}
