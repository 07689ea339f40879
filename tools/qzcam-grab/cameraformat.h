#pragma once

#include <QString>

#include "grabhost.h"

// The pixel format a camera delivers, read through the camera SDK from the
// device the plug-in opened; empty when it cannot be read.
QString cameraPixelFormat(const QString& serial);

// How frames of that format reach the host: monochrome and RGB8 as they lie
// in the camera's buffer, everything else converted to BGR8.
FrameLayout frameLayoutOf(const QString& pixelFormat, int* depth);
