#pragma once

#include <QImage>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "cameraobject.h"
#include "frameidgaps.h"
#include "frameimage.h"

// The host side of the grab: counts frames and gaps in their ids, and keeps a
// copy of every n-th frame for the main thread to write.
class GrabHost : public IPoolCallback {
public:
    struct Saved {
        QImage image;
        std::uint64_t count;  // frames received before this one: unique, unlike camera ids
    };
    struct Stats {
        std::uint64_t frames = 0;
        std::uint64_t lost = 0;
        int width = 0;
        int height = 0;
    };

    GrabHost(int saveEvery, bool saving) : m_saveEvery(saveEvery), m_saving(saving) {}

    // How frames lie in memory; set before acquisition starts. depth: the
    // significant bits of a Gray16 sample.
    void setLayout(FrameLayout layout, int depth) {
        m_layout = layout;
        m_depth = depth;
    }

    int OnFrameReady(ICameraObject* camera) override;

    Stats stats();
    // Waits until `frames` frames arrived or the time passed; true when arrived.
    bool waitFrames(std::uint64_t frames, std::chrono::milliseconds timeout);
    bool takeSaved(Saved* saved);

private:
    FrameLayout m_layout = FrameLayout::Bgr8;
    int m_depth = 8;
    const int m_saveEvery;
    const bool m_saving;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    Stats m_stats;
    FrameIdGaps m_gaps;
    std::deque<Saved> m_saved;
    // What waitFrames waits for: a wake-up per frame would cost the waiting
    // thread a context switch per frame.
    std::uint64_t m_awaited = 0;
};
