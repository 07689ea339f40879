#pragma once

#include <chrono>
#include <cstdint>

// Frames the camera numbered but the host never saw, from gaps in the ids.
// Ids wrap (GigE Vision's 16-bit block ids skip 0, 32-bit ones do not) and
// restart when a camera restarts; neither counts as loss. A jump is loss only
// when that many frames fit in the time since the last one, at the fastest
// rate the camera has shown; anything else is a restart.
class FrameIdGaps {
public:
    using Clock = std::chrono::steady_clock;

    // How many frames are missing before this id.
    std::uint64_t missingBefore(std::uint32_t id, Clock::time_point at = Clock::now());

    // Times the numbering started again since the last reset.
    std::uint64_t restarts() const { return m_restarts; }

    void reset() { *this = FrameIdGaps(); }

private:
    std::uint64_t stepsTo(std::uint32_t id) const;
    bool plausible(std::uint64_t missing, Clock::duration elapsed) const;

    bool m_have = false;
    std::uint32_t m_last = 0;
    Clock::time_point m_lastAt{};
    Clock::duration m_shortest = Clock::duration::max();  // between consecutive ids
    std::uint64_t m_restarts = 0;
};
