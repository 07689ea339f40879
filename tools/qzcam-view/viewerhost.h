#pragma once

#include <QImage>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "cameraobject.h"
#include "frameidgaps.h"
#include "frameimage.h"

// The viewer's side of the plug-in: on the delivery thread it copies the
// newest frame and counts; the window takes the newest frame when it paints.
// A frame replaced before it was shown counts as dropped; the delivery thread
// never waits for painting.
class ViewerHost : public IPoolCallback {
public:
    struct Counts {
        std::uint64_t frames = 0;
        std::uint64_t lost = 0;     // gaps in the camera's frame ids
        std::uint64_t dropped = 0;  // received, never shown
    };

    // How frames lie in memory; set while no frame flows.
    void setLayout(FrameLayout layout, int depth);
    int OnFrameReady(ICameraObject* camera) override;

    // The newest frame not yet taken; false when there is none.
    bool takeNewest(QImage* image);
    Counts counts();
    void reset();

private:
    std::mutex m_mutex;
    FrameLayout m_layout = FrameLayout::Bgr8;
    int m_depth = 8;
    QImage m_newest;
    bool m_fresh = false;
    Counts m_counts;
    FrameIdGaps m_gaps;
};
