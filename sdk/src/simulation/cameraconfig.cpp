#include <cmath>
#include <string>
#include <utility>

#include "../pixelformats.h"
#include "simcam/simcam.h"

namespace simcam {

std::string cameraConfigError(const CameraConfig& camera) {
    const std::string name = "camera '" + camera.serial + "': ";
    if (camera.width == 0 || camera.height == 0 || camera.width > kMaxSide ||
        camera.height > kMaxSide) {
        return name + "width and height must be 1 to " + std::to_string(kMaxSide) + ", not " +
               std::to_string(camera.width) + "x" + std::to_string(camera.height);
    }
    for (const auto& [key, rate] : {std::pair<const char*, double>{"frameRate", camera.frameRate},
                                    {"linePulseRate", camera.linePulseRate}}) {
        // 0 or less has a meaning of its own; a slower rate than this has a
        // period that no clock adds up.
        if (!std::isfinite(rate) || (rate > 0 && rate < kMinRate)) {
            return name + key + " must be finite and 0 or less, or at least " +
                   std::to_string(kMinRate) + " a second, not " + std::to_string(rate);
        }
    }
    for (double value : {camera.exposureMin, camera.exposureMax, camera.exposureValue}) {
        if (!std::isfinite(value)) {
            return name + "exposure values must be finite";
        }
    }
    if (camera.streamCount < 1 || camera.streamCount > kMaxStreams) {
        return name + "streams must be 1 to " + std::to_string(kMaxStreams) + ", not " +
               std::to_string(camera.streamCount);
    }
    std::vector<std::string> formats = camera.pixelFormats;
    formats.push_back(camera.pixelFormat);
    for (const std::string& formatName : formats) {
        const BGAPI2::pixel::FormatInfo* format = BGAPI2::pixel::find(formatName);
        if (format == nullptr) {
            continue;  // delivered as grey filler of one byte a pixel
        }
        if (!BGAPI2::pixel::widthFits(*format, camera.width)) {
            return name + "width " + std::to_string(camera.width) + " cannot be laid out in " +
                   formatName;
        }
        if (BGAPI2::pixel::payloadSize(*format, camera.width, camera.height) > kMaxFrameBytes) {
            return name + std::to_string(camera.width) + "x" + std::to_string(camera.height) +
                   " in " + formatName + " is larger than " + std::to_string(kMaxFrameBytes >> 20) +
                   " MiB a frame";
        }
    }
    return std::string();
}

}  // namespace simcam
