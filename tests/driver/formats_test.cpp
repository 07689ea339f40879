// Every pixel format the SDK knows, grabbed through the plug-in from the
// simulated camera's test picture: what the host reads must be that picture.
#include <cstring>
#include <string>
#include <thread>

#include "driverfixture.h"
#include "pixelformats.h"

namespace {

namespace pixel = BGAPI2::pixel;

struct Rgb {
    int r, g, b;
};

// The test picture's bars, left to right.
constexpr Rgb kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                          {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};

int luma(Rgb c) {
    return (77 * c.r + 150 * c.g + 29 * c.b) >> 8;
}

// How the host finds a frame of this format: mono as it lies (deep samples in
// 16-bit containers, packed ones unpacked), RGB8 as it lies, the rest BGR8.
enum class HostLayout { Grey8, Grey16, Rgb8, Bgr8 };

HostLayout hostLayoutOf(const pixel::FormatInfo& format) {
    const std::string name = format.name;
    if (name.rfind("Mono", 0) == 0) {
        return format.depth == 8 ? HostLayout::Grey8 : HostLayout::Grey16;
    }
    return name.rfind("RGB8", 0) == 0 ? HostLayout::Rgb8 : HostLayout::Bgr8;
}

std::size_t bytesPerPixel(HostLayout layout) {
    switch (layout) {
        case HostLayout::Grey8:
            return 1;
        case HostLayout::Grey16:
            return 2;
        default:
            return 3;
    }
}

constexpr int kWidth = 64;
constexpr int kHeight = 48;

class Formats : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        // The deepest format, so that every other one fits its buffers.
        simcam::setTopology(simTopology({simCamera("WIDE", "RGB12", kWidth, kHeight)}));
        host.headBytes = 0;
        host.onFrame = [this](ICameraObject* camera) {
            const std::size_t bytes =
                std::size_t(camera->m_nWidth) * camera->m_nHeight * bytesPerPixel(m_layout);
            m_pixels.assign(camera->m_pImageData, camera->m_pImageData + bytes);
        };
        m_camera = opened("WIDE");
        m_camera->m_nReqMode = MODE_SOFT_TRIGGER;
        ASSERT_EQ(m_camera->IStartCamera(), 1);
    }

    // One frame of this format; false when the host did not get it.
    bool grab(const pixel::FormatInfo& format) {
        m_layout = hostLayoutOf(format);
        simcam::FrameShape shape;
        shape.pixelFormat = std::string(format.name);
        simcam::shapeNextFrames("WIDE", shape);
        const std::size_t before = host.frameCount();
        m_camera->ISendSoftTrigger();
        return host.waitFrames(before + 1);
    }

    // The colour the host sees at (x, y), as RGB.
    Rgb at(int x, int y) const {
        const std::size_t i = std::size_t(y) * kWidth + std::size_t(x);
        switch (m_layout) {
            case HostLayout::Grey8:
                return {m_pixels[i], m_pixels[i], m_pixels[i]};
            case HostLayout::Grey16: {
                const int v = m_pixels[2 * i] | m_pixels[2 * i + 1] << 8;
                return {v, v, v};
            }
            case HostLayout::Rgb8:
                return {m_pixels[3 * i], m_pixels[3 * i + 1], m_pixels[3 * i + 2]};
            case HostLayout::Bgr8:
                break;
        }
        return {m_pixels[3 * i + 2], m_pixels[3 * i + 1], m_pixels[3 * i]};
    }

    CCameraBaumer* m_camera = nullptr;
    HostLayout m_layout = HostLayout::Bgr8;
    std::vector<unsigned char> m_pixels;
};

void expectNear(Rgb got, Rgb want, int tolerance, const std::string& what) {
    EXPECT_NEAR(got.r, want.r, tolerance) << what << " red";
    EXPECT_NEAR(got.g, want.g, tolerance) << what << " green";
    EXPECT_NEAR(got.b, want.b, tolerance) << what << " blue";
}

}  // namespace

TEST_F(Formats, EveryFormatShowsTheBarsAndTheRamp) {
    for (const pixel::FormatInfo* format = pixel::begin(); format != pixel::end(); ++format) {
        const std::string name = format->name;
        ASSERT_TRUE(grab(*format)) << name;
        ASSERT_EQ(host.frames().back().width, kWidth) << name;
        const bool grey = m_layout == HostLayout::Grey8 || m_layout == HostLayout::Grey16;
        const int shift = m_layout == HostLayout::Grey16 ? format->depth - 8 : 0;
        const int tolerance = (grey || format->layout == pixel::Layout::Bayer) ? 1 : 4;
        for (int bar = 0; bar < 8; ++bar) {
            Rgb want = kBars[bar];
            if (grey) {
                const int value = luma(want) << shift;
                want = {value, value, value};
            }
            expectNear(at(bar * 8 + 4, kHeight / 4), want, tolerance << shift,
                       name + " bar " + std::to_string(bar));
        }
        for (int x : {8, 31, 56}) {
            const int value = (x * 255 / (kWidth - 1)) << shift;
            expectNear(at(x, kHeight * 3 / 4), {value, value, value}, tolerance << shift,
                       name + " ramp at " + std::to_string(x));
        }
    }
}

TEST_F(Formats, PackedMonoReachesTheHostUnpackedAndIsReleasedAfterTheCallback) {
    const std::set<const void*> memory = bufferMemory(m_camera);
    ASSERT_TRUE(grab(*pixel::find("Mono12")));
    EXPECT_EQ(memory.count(host.frames().back().data), 1u) << "unpacked mono is not copied";
    const std::vector<unsigned char> plain = m_pixels;
    for (const char* name : {"Mono12p", "Mono12Packed"}) {
        simcam::clearRecordedCalls();
        simcam::setRecording(true);
        ASSERT_TRUE(grab(*pixel::find(name))) << name;
        EXPECT_EQ(memory.count(host.frames().back().data), 0u) << name;
        EXPECT_EQ(m_pixels, plain) << name << " differs from Mono12";
        // The unpacked image goes back once the host returned, before the buffer.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto calls = simcam::recordedCalls();
        simcam::setRecording(false);
        const std::size_t release = findCall(calls, "Image::Release");
        ASSERT_LT(findCall(calls, "Image::Release", release + 1), calls.size()) << name;
        EXPECT_EQ(calls[findCall(calls, "Image::Release", release + 1)].object, "Mono12");
        EXPECT_LT(release, findCall(calls, "Buffer::QueueBuffer"));
    }
    // The camera object keeps the format the table gives the opened camera.
    EXPECT_EQ(m_camera->m_nImageFormat, None);
    EXPECT_EQ(m_camera->m_nBitsPerPixel, 0);
}
