#pragma once

#include <QImage>
#include <QString>

#include <cstdint>

#include "cameraobject.h"

// How the frames of a camera lie in memory when they reach the host.
enum class FrameLayout { Gray8, Gray16, Rgb8, Bgr8 };

// The layout of frames in this pixel format: monochrome and RGB8 as they lie
// in the camera's buffer, everything else converted to BGR8. depth: the
// significant bits of a Gray16 sample.
FrameLayout frameLayoutOf(const QString& pixelFormat, int* depth);

// A copy of the frame the camera object shows now (its pixels are valid only
// during OnFrameReady); null when there is none.
QImage copyFrame(const ICameraObject* camera, FrameLayout layout, int depth);

// Frames the camera numbered but the host never saw, from gaps in the ids.
class FrameIdGaps {
public:
    // How many frames are missing before this id.
    std::uint64_t missingBefore(std::uint32_t id) {
        const std::uint64_t missing = m_have && id > m_last + 1 ? id - m_last - 1 : 0;
        m_have = true;
        m_last = id;
        return missing;
    }
    void reset() { m_have = false; }

private:
    bool m_have = false;
    std::uint32_t m_last = 0;
};
