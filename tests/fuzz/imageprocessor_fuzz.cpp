// Any image handed to the image processor: width and height (four bytes
// each, little-endian), a format name (a length byte, then the name) and
// the pixel bytes. It converts to BGR8, and a packed one also to 16-bit
// samples, or is refused with an SDK exception.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bgapi2_genicam/bgapi2_genicam.hpp"

namespace {

std::uint32_t readU32(const std::uint8_t* data) {
    return std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 | std::uint32_t{data[2]} << 16 |
           std::uint32_t{data[3]} << 24;
}

// Reads the whole of a converted image and releases it.
void touchAll(BGAPI2::Image* image, std::uint64_t bytes) {
    if (bytes > 0) {
        const auto* out = static_cast<const volatile std::uint8_t*>(image->GetBuffer());
        (void)(out[0] + out[bytes - 1]);
    }
    image->Release();
}

// "Mono12p" and "BayerRG10Packed" unpack to "Mono12" and "BayerRG10".
std::string unpackedName(const std::string& format) {
    for (const std::string suffix : {"Packed", "p"}) {
        if (format.size() > suffix.size() &&
            format.compare(format.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return format.substr(0, format.size() - suffix.size());
        }
    }
    return format;
}

void tryUnpacking(BGAPI2::Image* source, const std::string& format) {
    BGAPI2::Image* samples = nullptr;
    try {
        source->TransformImage(unpackedName(format).c_str(), &samples);
    } catch (BGAPI2::Exceptions::IException&) {
        return;
    }
    touchAll(samples, std::uint64_t{source->GetWidth()} * source->GetHeight() * 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9 || size < 9u + data[8]) {
        return 0;
    }
    const std::uint32_t width = readU32(data);
    const std::uint32_t height = readU32(data + 4);
    const std::string format(reinterpret_cast<const char*>(data + 9), data[8]);
    // A copy of exactly the payload, so that reading past it is caught.
    std::vector<std::uint8_t> pixels(data + 9 + data[8], data + size);
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    BGAPI2::Image* source = nullptr;
    BGAPI2::Image* converted = nullptr;
    try {
        source =
            processor->CreateImage(width, height, format.c_str(), pixels.data(), pixels.size());
        source->TransformImage("BGR8", &converted);
        const std::uint64_t bytes = std::uint64_t{width} * height * 3;
        if (converted->GetWidth() != width || converted->GetHeight() != height ||
            std::strcmp(converted->GetPixelformat(), "BGR8") != 0) {
            __builtin_trap();
        }
        touchAll(converted, bytes);  // the whole picture is there
        tryUnpacking(source, format);
    } catch (BGAPI2::Exceptions::IException&) {
    }
    if (source != nullptr) {
        source->Release();
    }
    return 0;
}
