#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "simcam/simcam.h"

// Counts delivered frames; a waiter is woken every `wakeEvery` frames.
class FrameCounter {
public:
    explicit FrameCounter(long wakeEvery = 1) : m_wakeEvery(wakeEvery) {}

    void add() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (++m_frames % m_wakeEvery == 0) {
            m_cv.notify_all();
        }
    }

    void waitFor(long count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [&] { return m_frames >= count; });
    }

    long frames() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }

private:
    const long m_wakeEvery;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    long m_frames = 0;
};

// Makes the simulated SDK show just this camera.
inline void useOnlyCamera(const std::string& serial, std::uint32_t width, std::uint32_t height,
                          const std::string& pixelFormat, double frameRate) {
    simcam::CameraConfig camera;
    camera.serial = serial;
    camera.width = width;
    camera.height = height;
    camera.pixelFormat = pixelFormat;
    camera.frameRate = frameRate;
    simcam::Topology topology;
    topology.cameras = {camera};
    topology.systems = {{"Sys", {{"If", {serial}, false}}, false}};
    simcam::setTopology(topology);
}

// The first camera of the first system and interface, opened through the SDK
// alone: its stream open, eight buffers queued and the handler registered,
// acquisition not started. The handler queues each buffer again itself.
class SdkCamera {
public:
    SdkCamera(void* context, BGAPI2::Events::NewBufferEventHandler handler) {
        BGAPI2::SystemList* systems = BGAPI2::SystemList::GetInstance();
        systems->Refresh();
        BGAPI2::System* system = systems->begin()->second;
        system->Open();
        system->GetInterfaces()->Refresh(100);
        BGAPI2::Interface* iface = system->GetInterfaces()->begin()->second;
        iface->Open();
        iface->GetDevices()->Refresh(100);
        device = iface->GetDevices()->begin()->second;
        device->Open();
        device->GetDataStreams()->Refresh();
        stream = device->GetDataStreams()->begin()->second;
        stream->Open();
        for (int i = 0; i < 8; ++i) {
            m_buffers.push_back(std::make_unique<BGAPI2::Buffer>());
            stream->GetBufferList()->Add(m_buffers.back().get());
            m_buffers.back()->QueueBuffer();
        }
        stream->RegisterNewBufferEventHandler(context, handler);
    }

    void start() {
        stream->StartAcquisitionContinuous();
        device->GetRemoteNode("AcquisitionStart")->Execute();
    }

    ~SdkCamera() {
        stream->StopAcquisition();
        stream->Close();
        m_buffers.clear();
        BGAPI2::SystemList::ReleaseInstance();
    }

    BGAPI2::Device* device = nullptr;
    BGAPI2::DataStream* stream = nullptr;

private:
    std::vector<std::unique_ptr<BGAPI2::Buffer>> m_buffers;
};
