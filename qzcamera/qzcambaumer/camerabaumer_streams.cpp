// The device's data streams and their buffer pools.
#include "camerabaumer.h"
#include "sdkobjects.h"

using BGAPI2::Exceptions::IException;

namespace {

// Every stream of the device, the list refreshed first.
template <typename Visit>
void forEachStream(BGAPI2::Device* device, Visit&& visit) {
    BGAPI2::DataStreamList* streams = device->GetDataStreams();
    streams->Refresh();
    for (auto it = streams->begin(); it != streams->end(); ++it) {
        visit(it->second);
    }
}

}  // namespace

int CCameraBaumer::setDeviceDataStream(BGAPI2::Device* device) {
    int count = 0;
    SDK_STEP("setDeviceDataStream", false, [&] {
        forEachStream(device, [&](BGAPI2::DataStream* stream) {
            if (!openDataStream(stream)) {
                return;
            }
            if (!createStreamBuffers(stream, kBuffersPerStream)) {
                closeDataStream(stream);
                return;
            }
            // Counted once the handler is on: a stream without it delivers nothing.
            stream->RegisterNewBufferEventHandler(this, bufferReadyCallback);
            ++count;
        });
        return true;
    });
    return count;
}

int CCameraBaumer::clearDeviceDataStream(BGAPI2::Device* device) {
    int count = 0;
    SDK_STEP("clearDeviceDataStream", false, [&] {
        forEachStream(device, [&](BGAPI2::DataStream* stream) {
            if (!closeDataStream(stream)) {
                return;
            }
            deleteStreamBuffers(stream);
            ++count;
        });
        return true;
    });
    return count;
}

bool CCameraBaumer::openDataStream(BGAPI2::DataStream* stream) {
    return SDK_STEP("openDataStream", false, [stream] { return openIfClosed(stream); });
}

bool CCameraBaumer::closeDataStream(BGAPI2::DataStream* stream) {
    return SDK_STEP("closeDataStream", false, [stream] { return closeIfOpen(stream); });
}

bool CCameraBaumer::createStreamBuffers(BGAPI2::DataStream* stream, int count) {
    return SDK_STEP("createStreamBuffers", false, [stream, count] {
        BGAPI2::BufferList* buffers = stream->GetBufferList();
        for (int i = 0; i < count; ++i) {
            auto* buffer = new BGAPI2::Buffer();
            try {
                buffers->Add(buffer);
            } catch (IException&) {
                delete buffer;  // never reached the list: nothing else would free it
                throw;
            }
            buffer->QueueBuffer();
        }
        return true;
    });
}

// From inside the host's frame callback the buffer in flight is taken out but
// deleted by the delivery once the callback has returned.
bool CCameraBaumer::deleteStreamBuffers(BGAPI2::DataStream* stream) {
    return SDK_STEP("deleteStreamBuffers", false, [stream] {
        BGAPI2::BufferList* buffers = stream->GetBufferList();
        if (buffers == nullptr) {
            return false;
        }
        FrameInFlight* frame = frameInFlight();
        while (buffers->size() > 0) {
            BGAPI2::Buffer* buffer = buffers->begin()->second;
            buffers->Remove(buffer);
            if (frame != nullptr && frame->buffer == buffer) {
                frame->bufferTaken = true;
            } else {
                delete buffer;
            }
        }
        return true;
    });
}

// The health review counts from here, so that frames lost in the first
// second are warned of too. Without counters (reported) the stream still
// starts, and its first review sets the base.
void CCameraBaumer::noteStreamStart(BGAPI2::DataStream* stream) {
    try {
        m_health.started(stream, stream->GetStatistics(), StreamHealth::Clock::now());
    } catch (BGAPI2::Exceptions::IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "startDeviceDataStream");
    }
}

bool CCameraBaumer::startDeviceDataStream(BGAPI2::Device* device) {
    return SDK_STEP("startDeviceDataStream", false, [&] {
        forEachStream(device, [&](BGAPI2::DataStream* stream) {
            if (openDataStream(stream) && !stream->GetIsGrabbing()) {
                noteStreamStart(stream);
                stream->StartAcquisitionContinuous();
            }
        });
        return true;
    });
}

bool CCameraBaumer::stopDeviceDataStream(BGAPI2::Device* device) {
    return SDK_STEP("stopDeviceDataStream", false, [&] {
        forEachStream(device, [&](BGAPI2::DataStream* stream) {
            if (openDataStream(stream) && stream->GetIsGrabbing()) {
                stream->StopAcquisition();
            }
        });
        return true;
    });
}
