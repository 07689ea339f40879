#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "testhost.h"

// Starts frame-limit mode with a limit of five on an opened camera; in each
// callback the host asks whether a trigger may be fired, and it stops at the
// sixth frame. Frames and answers are those of this run only.
struct FrameLimitRun {
    std::vector<TestHost::Frame> frames;
    std::vector<int> ready;
};

inline FrameLimitRun runFrameLimitOfFive(ICameraObject* camera, TestHost& host) {
    FrameLimitRun run;
    const std::size_t earlier = host.frameCount();
    std::atomic<bool> started{false};
    host.onFrame = [&](ICameraObject* object) {
        // The mode and grabbing flags are plain fields: read them once the
        // start that writes them has returned, as a host must.
        while (!started) {
            std::this_thread::yield();
        }
        run.ready.push_back(object->ICameraObject::ITriggerCamera(0));
        if (run.ready.size() == 6) {
            object->IStopCamera();
        }
    };
    camera->m_nFrameLimit = 5;
    camera->m_nReqMode = MODE_FRAME_LIMIT;
    const bool startedOk = camera->IStartCamera() == 1;
    started = true;
    if (startedOk && host.waitFrames(earlier + 6)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // no seventh
    }
    camera->IStopCamera();  // no callback runs once this returns
    host.onFrame = nullptr;
    const auto all = host.frames();
    run.frames.assign(all.begin() + static_cast<std::ptrdiff_t>(earlier), all.end());
    return run;
}
