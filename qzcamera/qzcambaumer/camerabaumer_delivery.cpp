// Frame delivery, on the SDK's delivery threads.
#include <QDebug>
#include <QLoggingCategory>

#include <algorithm>
#include <cstring>
#include <utility>

#include "camerabaumer.h"
#include "hostboundary.h"

using BGAPI2::Exceptions::IException;

namespace {

thread_local FrameInFlight* t_frame = nullptr;

// Frames the host takes as they lie in the buffer; all others become BGR8.
bool isPassThrough(const BGAPI2::String& format) {
    return std::strncmp(format.get(), "Mono", 4) == 0 || std::strncmp(format.get(), "RGB8", 4) == 0;
}

// Packed monochrome frames reach the host unpacked, one sample per 16-bit
// container as in the unpacked format of their depth, so that width x height
// 16-bit values can be read. Null for a format that is not packed.
const char* unpackedMonoFormat(const BGAPI2::String& format) {
    static constexpr std::pair<const char*, const char*> kPacked[] = {
        {"Mono10p", "Mono10"},      {"Mono12p", "Mono12"},      {"Mono14p", "Mono14"},
        {"Mono10Packed", "Mono10"}, {"Mono12Packed", "Mono12"},
    };
    for (const auto& [packed, unpacked] : kPacked) {
        if (std::strcmp(format.get(), packed) == 0) {
            return unpacked;
        }
    }
    return nullptr;
}

// Bytes a pass-through frame of this format takes per pixel as the host
// reads it; 0 for a name whose layout the plug-in does not know.
int passThroughPixelBytes(const BGAPI2::String& format) {
    static constexpr std::pair<const char*, int> kKnown[] = {
        {"Mono8", 1},  {"Mono10", 2}, {"Mono12", 2},     {"Mono14", 2},
        {"Mono16", 2}, {"RGB8", 3},   {"RGB8Packed", 3},
    };
    for (const auto& [name, bytes] : kKnown) {
        if (std::strcmp(format.get(), name) == 0) {
            return bytes;
        }
    }
    return 0;
}

// Forgets the image before releasing it: a release that fails is not tried
// again.
void releaseImage(BGAPI2::Image*& image, const QMessageLogContext& context) {
    BGAPI2::Image* releasing = image;
    image = nullptr;
    if (releasing == nullptr) {
        return;
    }
    try {
        releasing->Release();
    } catch (IException& ex) {
        reportSdkException(ex, "BufferReady", context);
    }
}

}  // namespace

FrameInFlight* frameInFlight() {
    return t_frame;
}

void bufferReadyCallback(void* context, BGAPI2::Buffer* buffer) {
    auto* object = static_cast<CCameraBaumer*>(context);
    FrameInFlight frame{object, buffer, false, false, t_frame};
    t_frame = &frame;
    guardBoundary("BufferReady", [object, buffer] { object->BufferReady(buffer); });
    t_frame = frame.outer;
    if (frame.bufferTaken) {
        delete buffer;  // taken out of its stream by a close from the host's callback
    }
}

// Fills the frame fields and calls the host, unless a stop or close has
// begun; what the host throws ends here. False when the host was not called.
bool CCameraBaumer::callHost(BGAPI2::Buffer* buffer, void* pixels,
                             StreamHealth::Clock::duration* spent) {
    const auto width = static_cast<int>(buffer->GetWidth());
    const auto height = static_cast<int>(buffer->GetHeight());
    const auto frameId = static_cast<std::uint32_t>(buffer->GetFrameID());
    {
        MutexLock lock(m_stateMutex);
        if (m_state != DriverState::Grabbing) {
            return false;
        }
        m_pImageData = static_cast<unsigned char*>(pixels);
        m_nWidth = width;
        m_nHeight = height;
        m_nFrameStatus = 0;
        // In frame-limit mode the limit counts frames since the start,
        // whatever number the camera gives them.
        m_nFrameId = m_bCountFrames ? ++m_nFramesSinceStart : frameId;
    }
    const auto before = StreamHealth::Clock::now();
    try {
        m_pCallback->OnFrameReady(this);
    } catch (const std::exception& ex) {
        reportUnexpected("BufferReady",
                         (QByteArray("host frame callback threw: ") + ex.what()).constData());
    } catch (...) {
        reportUnexpected("BufferReady", "host frame callback threw");
    }
    *spent = StreamHealth::Clock::now() - before;
    return true;
}

// The pixels the host gets: the buffer's own, or an image made from them
// (BGR8, or packed mono unpacked). Null when the frame cannot be converted.
void* CCameraBaumer::framePixels(BGAPI2::Buffer* buffer, BGAPI2::Image** source,
                                 BGAPI2::Image** converted) {
    const BGAPI2::String format = buffer->GetPixelFormat();
    const char* target = "BGR8";
    if (isPassThrough(format)) {
        target = unpackedMonoFormat(format);
        if (target == nullptr) {
            return passThroughPixels(buffer, format);
        }
    }
    if (m_pImageProcessor == nullptr) {
        reportNoImageProcessor(format);
        return nullptr;
    }
    const BGAPI2::bo_uint64 size = buffer->GetMemSize();
    void* memory = buffer->GetMemPtr();
    const auto height = static_cast<BGAPI2::bo_uint>(buffer->GetHeight());
    const auto width = static_cast<BGAPI2::bo_uint>(buffer->GetWidth());
    *source = m_pImageProcessor->CreateImage(width, height, format, memory, size);
    (*source)->TransformImage(target, converted);
    return (*converted)->GetBuffer();
}

// The buffer's own memory, unless it is too short for the image the host
// will read from it.
void* CCameraBaumer::passThroughPixels(BGAPI2::Buffer* buffer, const BGAPI2::String& format) {
    constexpr std::uint64_t kMaxSide = 1u << 24;  // keeps the product in 64 bits
    const std::uint64_t width = std::min(buffer->GetWidth(), kMaxSide);
    const std::uint64_t height = std::min(buffer->GetHeight(), kMaxSide);
    const std::uint64_t needed = width * height * std::uint64_t(passThroughPixelBytes(format));
    const std::uint64_t size = buffer->GetMemSize();
    if (size >= needed) {
        return buffer->GetMemPtr();
    }
    qCritical() << QString(
                       "Baumer camera(%1): a %2x%3 %4 frame needs %5 bytes, the buffer holds %6; "
                       "not delivered.")
                       .arg(serial())
                       .arg(width)
                       .arg(height)
                       .arg(QString::fromUtf8(format.get()))
                       .arg(needed)
                       .arg(size)
                << " - "
                << "CCameraBaumer::BufferReady";
    return nullptr;
}

// Once per opening: without an image processor only pass-through frames flow.
void CCameraBaumer::reportNoImageProcessor(const BGAPI2::String& format) {
    if (m_bNoProcessorReported.exchange(true)) {
        return;
    }
    qCritical() << QString(
                       "Baumer camera(%1): no image processor, frames in %2 are not "
                       "delivered.")
                       .arg(serial(), QString::fromUtf8(format.get()))
                << " - "
                << "CCameraBaumer::BufferReady";
}

void CCameraBaumer::BufferReady(BGAPI2::Buffer* buffer) {
    // The check only skips building a line the logging rules would drop.
    if (QLoggingCategory::defaultCategory()->isDebugEnabled()) {
        qDebug() << "CCameraBaumer::BufferReady";
    }
    const FrameInFlight* frame = frameInFlight();
    BGAPI2::Image* source = nullptr;
    BGAPI2::Image* converted = nullptr;
    bool delivered = false;
    StreamHealth::Clock::duration callbackTime{};
    try {
        if (void* pixels = framePixels(buffer, &source, &converted)) {
            delivered = callHost(buffer, pixels, &callbackTime);
        }
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "BufferReady");
    } catch (const std::exception& ex) {
        reportUnexpected("BufferReady", ex.what());
    }
    releaseImage(source, SDK_REPORT_CONTEXT);
    releaseImage(converted, SDK_REPORT_CONTEXT);
    if (frame != nullptr && (frame->objectGone || frame->bufferTaken)) {
        return;  // closed or deleted by the host from its callback: nothing here is ours now
    }
    // Back to the stream whatever happened, so that the pool does not shrink.
    try {
        buffer->QueueBuffer();
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "BufferReady");
    }
    if (delivered) {
        reviewStreamHealth(buffer, callbackTime);
    }
}

// At most once a second: a warning when the stream lost frames since.
void CCameraBaumer::reviewStreamHealth(BGAPI2::Buffer* buffer,
                                       StreamHealth::Clock::duration callbackTime) {
    const auto now = StreamHealth::Clock::now();
    if (!m_health.frameDone(callbackTime, now)) {
        return;
    }
    try {
        BGAPI2::DataStream* stream = buffer->GetParent();
        if (stream == nullptr) {
            return;
        }
        const QString warning = m_health.review(stream, stream->GetStatistics(), now);
        if (!warning.isEmpty()) {
            qWarning() << QString("Baumer camera(%1) stream:").arg(serial()) << warning << " - "
                       << "CCameraBaumer::BufferReady";
        }
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "BufferReady");
    }
}
