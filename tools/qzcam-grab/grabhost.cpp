#include "grabhost.h"

#include <algorithm>

namespace {

// Deep monochrome samples (16-bit little-endian containers) as 8-bit grey.
QImage narrowed(const uchar* data, int width, int height, int depth) {
    QImage image(width, height, QImage::Format_Grayscale8);
    const int shift = depth > 8 ? depth - 8 : 0;
    for (int y = 0; y < height; ++y) {
        const uchar* row = data + static_cast<std::size_t>(y) * width * 2;
        uchar* out = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int sample = row[2 * x] | (row[2 * x + 1] << 8);
            out[x] = static_cast<uchar>(std::min(255, sample >> shift));
        }
    }
    return image;
}

}  // namespace

int GrabHost::OnFrameReady(ICameraObject* camera) {
    const std::uint32_t id = camera->m_nFrameId;
    QImage copy;
    bool save = false;
    std::uint64_t count = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_haveId && id > m_lastId + 1) {
            m_stats.lost += id - m_lastId - 1;
        }
        m_haveId = true;
        m_lastId = id;
        save = m_saving && m_stats.frames % static_cast<std::uint64_t>(m_saveEvery) == 0;
        count = m_stats.frames++;
        m_stats.width = camera->m_nWidth;
        m_stats.height = camera->m_nHeight;
    }
    if (save) {
        // The pixels are only valid during this call: copy them now.
        copy = copyFrame(camera);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!copy.isNull()) {
            m_saved.push_back({copy, count});
        }
    }
    m_cv.notify_all();
    return 0;
}

QImage GrabHost::copyFrame(const ICameraObject* camera) const {
    const int width = camera->m_nWidth;
    const int height = camera->m_nHeight;
    const uchar* data = camera->m_pImageData;
    if (data == nullptr || width <= 0 || height <= 0) {
        return QImage();
    }
    switch (m_layout) {
        case FrameLayout::Gray8:
            return QImage(data, width, height, width, QImage::Format_Grayscale8).copy();
        case FrameLayout::Gray16:
            return narrowed(data, width, height, m_depth);
        case FrameLayout::Rgb8:
            return QImage(data, width, height, width * 3, QImage::Format_RGB888).copy();
        case FrameLayout::Bgr8:
            break;
    }
    return QImage(data, width, height, width * 3, QImage::Format_BGR888).copy();
}

GrabHost::Stats GrabHost::stats() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats;
}

bool GrabHost::waitFrames(std::uint64_t frames, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
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
