#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "sdkfixture.h"

// A stream of an opened simulated camera with buffers attached and queued,
// and a handler that counts and then runs what the test asks.
class StreamTest : public SdkTest {
protected:
    struct Seen {
        std::uint64_t frameId;
        BGAPI2::Buffer* buffer;
        std::thread::id thread;
    };

    void prepare(const simcam::CameraConfig& camera, int buffers = 8) {
        simcam::setTopology(simTopology({camera}));
        device = openFirstDevice();
        BGAPI2::DataStreamList* streams = device->GetDataStreams();
        streams->Refresh();
        stream = streams->begin()->second;
        stream->Open();
        for (int i = 0; i < buffers; ++i) {
            owned.push_back(std::make_unique<BGAPI2::Buffer>());
            stream->GetBufferList()->Add(owned.back().get());
            owned.back()->QueueBuffer();
        }
        stream->RegisterNewBufferEventHandler(this, &StreamTest::onBuffer);
    }

    void TearDown() override {
        if (stream != nullptr && stream->IsOpen()) {
            stream->Close();
        }
        owned.clear();
        SdkTest::TearDown();
    }

    void start(const char* triggerMode = "Off", const char* source = "Line0") {
        device->GetRemoteNode("TriggerMode")->SetString(triggerMode);
        device->GetRemoteNode("TriggerSource")->SetString(source);
        stream->StartAcquisitionContinuous();
        device->GetRemoteNode("AcquisitionStart")->Execute();
    }

    static void onBuffer(void* context, BGAPI2::Buffer* buffer) {
        auto* self = static_cast<StreamTest*>(context);
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->seen.push_back({buffer->GetFrameID(), buffer, std::this_thread::get_id()});
        }
        self->cv.notify_all();
        if (self->action) {
            self->action(buffer);
        } else {
            buffer->QueueBuffer();
        }
    }

    bool waitSeen(std::size_t count, int timeoutMs = 5000) {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return seen.size() >= count; });
    }

    std::size_t seenCount() {
        std::lock_guard<std::mutex> lock(mutex);
        return seen.size();
    }

    BGAPI2::Device* device = nullptr;
    BGAPI2::DataStream* stream = nullptr;
    std::vector<std::unique_ptr<BGAPI2::Buffer>> owned;
    std::function<void(BGAPI2::Buffer*)> action;
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Seen> seen;
};
