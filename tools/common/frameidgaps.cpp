#include "frameidgaps.h"

namespace {

constexpr std::uint64_t k16 = 1u << 16;
constexpr std::uint64_t k32 = std::uint64_t{1} << 32;

// A jump this small needs no timing to count as loss.
constexpr std::uint64_t kAlwaysPlausible = 16;

}  // namespace

std::uint64_t FrameIdGaps::missingBefore(std::uint32_t id, Clock::time_point at) {
    if (!m_have) {
        m_have = true;
        m_last = id;
        m_lastAt = at;
        return 0;
    }
    const std::uint64_t steps = stepsTo(id);
    const Clock::duration elapsed = at - m_lastAt;
    std::uint64_t missing = steps > 0 ? steps - 1 : 0;
    if (steps == 1 && elapsed > Clock::duration::zero() && elapsed < m_shortest) {
        m_shortest = elapsed;
    }
    if (steps == 0 || !plausible(missing, elapsed)) {
        ++m_restarts;
        missing = 0;
    }
    m_last = id;
    m_lastAt = at;
    return missing;
}

// Ids from the last one to this one, counting forward: 16-bit counters go
// from 65535 to 1, 32-bit ones from 2^32 - 1 to 0. 0 for the same id again.
std::uint64_t FrameIdGaps::stepsTo(std::uint32_t id) const {
    if (id > m_last) {
        return std::uint64_t{id} - m_last;
    }
    if (id == m_last) {
        return 0;
    }
    if (m_last < k16) {
        return k16 - m_last + id - (id > 0 ? 1 : 0);
    }
    return k32 - m_last + id;
}

bool FrameIdGaps::plausible(std::uint64_t missing, Clock::duration elapsed) const {
    if (missing <= kAlwaysPlausible) {
        return true;
    }
    if (m_shortest == Clock::duration::max()) {
        return false;  // no rate seen yet: a large jump is a new numbering
    }
    // Half as many frames again as margin: the shortest interval seen may be
    // longer than the camera's own.
    const std::uint64_t atThatRate = static_cast<std::uint64_t>(elapsed / m_shortest);
    return atThatRate + atThatRate / 2 + kAlwaysPlausible >= missing;
}
