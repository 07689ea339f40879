#pragma once

#include <QImage>
#include <QString>

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
