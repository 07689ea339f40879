#pragma once

#include <QString>

#include "bgapi2_genicam/bgapi2_def.h"

// The pixel format a camera delivers, read through the camera SDK from the
// device the plug-in opened; empty when it cannot be read.
QString cameraPixelFormat(const QString& serial);

// An integer feature of the open camera with this serial number; 0 where it
// has none or it cannot be read.
qint64 cameraIntFeature(const QString& serial, const char* name);

// The counters of the camera's data streams, added up, read through the
// camera SDK; false when the camera is not open.
bool cameraStreamStatistics(const QString& serial, BGAPI2::StreamStatistics* statistics);

// Writes NAME=VALUE to a feature of the open camera, as its kind wants;
// false with a message when it cannot.
bool setCameraFeature(const QString& serial, const QString& assignment, QString* error);

struct ExposureRange {
    double min = 0;
    double max = 0;
    double value = 0;
};

// The exposure feature of the open camera ("ExposureTime", else
// "ExposureTimeAbs"); false when it has none.
bool cameraExposureRange(const QString& serial, ExposureRange* range);
