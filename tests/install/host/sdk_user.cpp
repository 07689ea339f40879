// Uses the installed SDK directly: its image processor converts one frame.
#include <vector>

#include "bgapi2_genicam/bgapi2_genicam.hpp"

int main() {
    std::vector<unsigned char> pixels(16, 128);
    BGAPI2::ImageProcessor* processor = BGAPI2::ImageProcessor::GetInstance();
    BGAPI2::Image* image = processor->CreateImage(4, 4, "Mono8", pixels.data(), pixels.size());
    BGAPI2::Image* bgr = nullptr;
    image->TransformImage("BGR8", &bgr);
    const bool ok = bgr->GetWidth() == 4 && static_cast<unsigned char*>(bgr->GetBuffer())[0] == 128;
    bgr->Release();
    image->Release();
    return ok ? 0 : 1;
}
