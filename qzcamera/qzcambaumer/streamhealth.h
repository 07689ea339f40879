#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>

#include "bgapi2_genicam/bgapi2_def.h"

// Watches a camera's streams from the delivery path and words at most one
// warning a second when frames went missing, with the likely cause: a host
// callback slower than the camera, or loss on the way from the camera.
class StreamHealth {
public:
    using Clock = std::chrono::steady_clock;

    // Counts one frame and the time the host's callback took for it. True
    // when a second has passed since the last look at the counters.
    bool frameDone(Clock::duration callbackTime, Clock::time_point now);
    // Compares a stream's counters with the last look; a warning text when
    // frames were lost or incomplete since, otherwise empty.
    QString review(const void* stream, const BGAPI2::StreamStatistics& now, Clock::time_point at);
    // Acquisition starts on a stream: its first review covers the time from
    // here, first second included.
    void started(const void* stream, const BGAPI2::StreamStatistics& now, Clock::time_point at);
    void reset();

private:
    struct Window {
        BGAPI2::StreamStatistics seen;
        Clock::time_point since;
    };

    std::mutex m_mutex;
    Clock::time_point m_lastLook{};
    std::uint64_t m_frames = 0;
    Clock::duration m_callbackTime{};
    std::map<const void*, Window> m_windows;
};
