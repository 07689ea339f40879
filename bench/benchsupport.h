#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "simcam/simcam.h"

// Counts delivered frames; a waiter is woken every `wakeEvery` frames.
class FrameCounter {
public:
    explicit FrameCounter(long wakeEvery = 1) : m_wakeEvery(wakeEvery) {}

    void add() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (++m_frames % m_wakeEvery == 0) {
            m_cv.notify_all();
        }
    }

    void waitFor(long count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [&] { return m_frames >= count; });
    }

    long frames() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }

private:
    const long m_wakeEvery;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    long m_frames = 0;
};

// Makes the simulated SDK show just this camera.
inline void useOnlyCamera(const std::string& serial, std::uint32_t width, std::uint32_t height,
                          const std::string& pixelFormat, double frameRate) {
    simcam::CameraConfig camera;
    camera.serial = serial;
    camera.width = width;
    camera.height = height;
    camera.pixelFormat = pixelFormat;
    camera.frameRate = frameRate;
    simcam::Topology topology;
    topology.cameras = {camera};
    topology.systems = {{"Sys", {{"If", {serial}, false}}, false}};
    simcam::setTopology(topology);
}
