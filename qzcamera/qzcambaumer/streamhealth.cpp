#include "streamhealth.h"

namespace {

double milliseconds(StreamHealth::Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

bool StreamHealth::frameDone(Clock::duration callbackTime, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_frames;
    m_callbackTime += callbackTime;
    if (m_lastLook == Clock::time_point{}) {
        m_lastLook = now;
    }
    return now - m_lastLook >= std::chrono::seconds(1);
}

QString StreamHealth::review(const void* stream, const BGAPI2::StreamStatistics& now,
                             Clock::time_point at) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastLook = at;
    const std::uint64_t frames = m_frames;
    const Clock::duration callbackTime = m_callbackTime;
    m_frames = 0;
    m_callbackTime = {};
    auto found = m_windows.find(stream);
    if (found == m_windows.end()) {
        m_windows[stream] = {now, at};  // first look: the counters start here
        return QString();
    }
    Window& window = found->second;
    if (now.lost < window.seen.lost || now.incomplete < window.seen.incomplete ||
        now.delivered < window.seen.delivered) {
        window = {now, at};  // the stream was opened again: its counters restarted
        return QString();
    }
    const std::uint64_t lost = now.lost - window.seen.lost;
    const std::uint64_t incomplete = now.incomplete - window.seen.incomplete;
    const std::uint64_t delivered = now.delivered - window.seen.delivered;
    const std::uint64_t missing = now.missingPackets - window.seen.missingPackets;
    const std::uint64_t resent = now.resentPackets - window.seen.resentPackets;
    const Clock::duration span = at - window.since;
    window = {now, at};
    if (lost == 0 && incomplete == 0) {
        return QString();
    }
    const std::uint64_t made = delivered + lost + incomplete;
    const double periodMs = milliseconds(span) / static_cast<double>(made);
    const double callbackMs = frames > 0 ? milliseconds(callbackTime) / frames : 0.0;
    QString cause;
    if (lost > 0 && callbackMs > periodMs) {
        cause = QString(
                    "host callback slower than the camera (%1 ms per frame against a frame "
                    "period of %2 ms)")
                    .arg(callbackMs, 0, 'f', 2)
                    .arg(periodMs, 0, 'f', 2);
    } else if (incomplete > 0 || missing > 0) {
        cause = QString("transport loss (%1 packets missing, %2 resent)").arg(missing).arg(resent);
    } else {
        cause = QString(
                    "no free buffer when the frame came (%1 ms per frame in the host callback, "
                    "frame period %2 ms)")
                    .arg(callbackMs, 0, 'f', 2)
                    .arg(periodMs, 0, 'f', 2);
    }
    return QString("%1 frames lost, %2 incomplete of %3 in %4 s; likely cause: %5")
        .arg(lost)
        .arg(incomplete)
        .arg(made)
        .arg(std::chrono::duration<double>(span).count(), 0, 'f', 1)
        .arg(cause);
}

void StreamHealth::started(const void* stream, const BGAPI2::StreamStatistics& now,
                           Clock::time_point at) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_windows[stream] = {now, at};
}

void StreamHealth::reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastLook = {};
    m_frames = 0;
    m_callbackTime = {};
    m_windows.clear();
}
