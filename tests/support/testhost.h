#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "cameraobject.h"

// A host callback that records what each frame showed inside OnFrameReady.
class TestHost : public IPoolCallback {
public:
    struct Frame {
        const unsigned char* data;
        int width;
        int height;
        std::uint32_t frameId;
        std::int64_t status;
        std::thread::id thread;
        std::vector<unsigned char> head;  // first bytes of the pixels
    };

    // Runs inside OnFrameReady; the frame counts as seen once it returns.
    std::function<void(ICameraObject*)> onFrame;
    std::size_t headBytes = 16;

    int OnFrameReady(ICameraObject* camera) override {
        Frame frame{camera->m_pImageData,
                    camera->m_nWidth,
                    camera->m_nHeight,
                    camera->m_nFrameId,
                    camera->m_nFrameStatus,
                    std::this_thread::get_id(),
                    {}};
        if (frame.data != nullptr) {
            frame.head.assign(frame.data, frame.data + headBytes);
        }
        if (onFrame) {
            onFrame(camera);
        }
        // Notified under the lock: a host that reads the count afterwards has
        // seen the last touch of this object by the delivery thread.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_frames.push_back(frame);
        m_cv.notify_all();
        return 0;
    }

    bool waitFrames(std::size_t count, int timeoutMs = 5000) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return m_frames.size() >= count; });
    }

    std::vector<Frame> frames() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }

    std::size_t frameCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames.size();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Frame> m_frames;
};
