// Any image handed to the image processor: width and height (four bytes
// each, little-endian), a format name (a length byte, then the name) and
// the pixel bytes. It converts to BGR8 or is refused with an SDK exception.
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
        if (bytes > 0) {  // the whole picture is there
            const auto* out = static_cast<const volatile std::uint8_t*>(converted->GetBuffer());
            (void)(out[0] + out[bytes - 1]);
        }
    } catch (BGAPI2::Exceptions::IException&) {
    }
    if (converted != nullptr) {
        converted->Release();
    }
    if (source != nullptr) {
        source->Release();
    }
    return 0;
}
