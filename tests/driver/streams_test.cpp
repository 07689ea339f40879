// Preparing, starting, stopping and clearing the data streams of a device.
#include "driverfixture.h"

namespace {

simcam::CameraConfig withStreams(const char* serial, int streams) {
    simcam::CameraConfig camera = simCamera(serial);
    camera.streamCount = streams;
    return camera;
}

}  // namespace

class StreamSteps : public DriverTest {
protected:
    // CAM has two streams; the device is opened by hand, not through IOpenCamera.
    void SetUp() override {
        DriverTest::SetUp();
        simcam::setTopology(simTopology({withStreams("CAM", 2), withStreams("NOSTREAM", 0)}));
        camera = make();
        device = findDevice("CAM");
        ASSERT_TRUE(camera->openDevice(device));
    }

    BGAPI2::Device* findDevice(const char* serial) {
        for (auto& sys : *CCameraBaumer::s_pSystemList) {
            camera->openSystem(sys.second);
            for (auto& ifc : *camera->getSystemInterfaces(sys.second)) {
                camera->openInterface(ifc.second);
                for (auto& dev : *camera->getDevices(ifc.second)) {
                    if (dev.second->GetSerialNumber() == serial)
                        return dev.second;
                }
            }
        }
        return nullptr;
    }

    BGAPI2::DataStream* stream(int index) {
        BGAPI2::DataStreamList* streams = device->GetDataStreams();
        streams->Refresh();
        auto it = streams->begin();
        std::advance(it, index);
        return it->second;
    }

    void TearDown() override {
        camera->clearDeviceDataStream(device);
        camera->closeDevice(device);
        DriverTest::TearDown();
    }

    CCameraBaumer* camera = nullptr;
    BGAPI2::Device* device = nullptr;
};

TEST_F(StreamSteps, EveryStreamGetsEightQueuedBuffersAndTheHandler) {
    simcam::setRecording(true);
    EXPECT_EQ(camera->setDeviceDataStream(device), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(stream(i)->IsOpen());
        EXPECT_EQ(stream(i)->GetBufferList()->size(), 8u);
        EXPECT_EQ(stream(i)->GetBufferList()->GetQueuedCount(), 8u);
    }
    EXPECT_EQ(countCalls("DataStream::RegisterNewBufferEventHandler"), 2);
    // Each buffer is queued right after it was added.
    std::string order;
    for (const auto& call : simcam::recordedCalls()) {
        if (call.operation == "BufferList::Add" || call.operation == "Buffer::QueueBuffer") {
            order += call.operation == "BufferList::Add" ? 'A' : 'Q';
        }
    }
    std::string expected;
    for (int i = 0; i < 16; ++i) {
        expected += "AQ";
    }
    EXPECT_EQ(order, expected);
}

TEST_F(StreamSteps, DeviceWithoutStreamsIsClosedAgainWhenOpening) {
    simcam::setTopology(simTopology({withStreams("NOSTREAM", 0)}));
    option.strCameraName = "baumer NOSTREAM";
    EXPECT_EQ(camera->IOpenCamera(), 0);
    EXPECT_FALSE(simcam::isOpen("NOSTREAM"));
}

TEST_F(StreamSteps, StreamThatFailsToOpenIsSkipped) {
    simcam::injectFailure(failOn("DataStream::Open", "CAM/Stream0"));
    EXPECT_EQ(camera->setDeviceDataStream(device), 1);
    expectReportOf("openDataStream", "DataStream::Open");
    EXPECT_EQ(stream(0)->GetBufferList()->size(), 0u);
    EXPECT_EQ(stream(1)->GetBufferList()->size(), 8u);
}

TEST_F(StreamSteps, OpenStreamCountsAsOpenedAndGetsMoreBuffers) {
    stream(0)->Open();
    simcam::setRecording(true);
    EXPECT_EQ(camera->setDeviceDataStream(device), 2);
    EXPECT_EQ(countCalls("DataStream::Open", "CAM/Stream0"), 0);
    EXPECT_EQ(camera->setDeviceDataStream(device), 2);
    EXPECT_EQ(stream(0)->GetBufferList()->size(), 16u);
}

TEST_F(StreamSteps, FailedBufferCreationClosesTheStreamAndClearingReleasesWhatWasAdded) {
    simcam::injectFailure(failOn("BufferList::Add", "CAM/Stream0", 3));
    simcam::setRecording(true);
    EXPECT_EQ(camera->setDeviceDataStream(device), 1);
    expectReportOf("createStreamBuffers", "BufferList::Add");
    EXPECT_FALSE(stream(0)->IsOpen());
    EXPECT_EQ(stream(0)->GetBufferList()->size(), 2u);
    EXPECT_EQ(countCalls("DataStream::RegisterNewBufferEventHandler", "CAM/Stream0"), 0);

    EXPECT_TRUE(camera->startDeviceDataStream(device));
    EXPECT_TRUE(stream(0)->GetIsGrabbing()) << "started like the others";
    EXPECT_EQ(camera->clearDeviceDataStream(device), 2);
    EXPECT_EQ(bufferCount(device), 0u);
}

TEST_F(StreamSteps, StartAndStopTouchOnlyStreamsThatNeedIt) {
    camera->setDeviceDataStream(device);
    EXPECT_TRUE(camera->startDeviceDataStream(device));
    simcam::setRecording(true);
    EXPECT_TRUE(camera->startDeviceDataStream(device));
    EXPECT_EQ(countCalls("DataStream::StartAcquisitionContinuous"), 0);
    EXPECT_TRUE(camera->stopDeviceDataStream(device));
    EXPECT_EQ(countCalls("DataStream::StopAcquisition"), 2);
    EXPECT_TRUE(camera->stopDeviceDataStream(device));
    EXPECT_EQ(countCalls("DataStream::StopAcquisition"), 2);
}

TEST_F(StreamSteps, StopOpensAClosedStreamAndLeavesItOpen) {
    EXPECT_TRUE(camera->stopDeviceDataStream(device));
    EXPECT_TRUE(stream(0)->IsOpen());
    EXPECT_FALSE(stream(0)->GetIsGrabbing());
}

TEST_F(StreamSteps, ClearingClosedStreamsStillReleasesAndCountsThem) {
    camera->setDeviceDataStream(device);
    stream(0)->Close();
    stream(1)->Close();
    EXPECT_EQ(camera->clearDeviceDataStream(device), 2);
    EXPECT_EQ(bufferCount(device), 0u);
    EXPECT_TRUE(camera->createStreamBuffers(stream(0), 0));
    EXPECT_EQ(bufferCount(device), 0u);
}

// Each SDK call the stream steps make fails once: the step that catches it
// reports it and the device-level step returns its documented value.
TEST_F(StreamSteps, EachSdkCallOfTheStepsFailingInTurn) {
    struct Case {
        const char* call;
        const char* object;
        const char* reporter;
        int prepared;  // result of setDeviceDataStream
    };
    const Case cases[] = {
        {"Device::GetDataStreams", "CAM", "setDeviceDataStream", 0},
        {"DataStreamList::Refresh", "CAM", "setDeviceDataStream", 0},
        {"DataStream::IsOpen", "CAM/Stream1", "openDataStream", 1},
        {"DataStream::Open", "CAM/Stream1", "openDataStream", 1},
        {"DataStream::GetBufferList", "CAM/Stream1", "createStreamBuffers", 1},
        {"BufferList::Add", "CAM/Stream1", "createStreamBuffers", 1},
        {"Buffer::QueueBuffer", "", "createStreamBuffers", 1},
        {"DataStream::RegisterNewBufferEventHandler", "CAM/Stream1", "setDeviceDataStream", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        log.clear();
        simcam::injectFailure(failOn(c.call, c.object));
        EXPECT_EQ(camera->setDeviceDataStream(device), c.prepared);
        expectReportOf(c.reporter, c.call);
        EXPECT_EQ(log.lines(QtCriticalMsg).size(), 3u);
        simcam::clearFailures();
        camera->clearDeviceDataStream(device);
        EXPECT_EQ(bufferCount(device), 0u) << "nothing left behind";
    }

    const Case teardown[] = {
        {"DataStream::Close", "CAM/Stream0", "closeDataStream", 1},
        {"BufferList::Remove", "CAM/Stream0", "deleteStreamBuffers", 2},
        {"DataStreamList::Refresh", "CAM", "clearDeviceDataStream", 0},
    };
    for (const Case& c : teardown) {
        SCOPED_TRACE(c.call);
        camera->setDeviceDataStream(device);
        log.clear();
        simcam::injectFailure(failOn(c.call, c.object));
        EXPECT_EQ(camera->clearDeviceDataStream(device), c.prepared);
        expectReportOf(c.reporter, c.call);
        simcam::clearFailures();
        camera->clearDeviceDataStream(device);
        EXPECT_EQ(bufferCount(device), 0u);
    }

    const Case switching[] = {
        {"DataStream::GetIsGrabbing", "CAM/Stream0", "startDeviceDataStream", 0},
        {"DataStream::StartAcquisitionContinuous", "CAM/Stream1", "startDeviceDataStream", 0},
    };
    camera->setDeviceDataStream(device);
    for (const Case& c : switching) {
        SCOPED_TRACE(c.call);
        log.clear();
        simcam::injectFailure(failOn(c.call, c.object));
        EXPECT_FALSE(camera->startDeviceDataStream(device));
        expectReportOf(c.reporter, c.call);
        simcam::clearFailures();
    }
    log.clear();
    simcam::injectFailure(failOn("DataStream::StopAcquisition", "CAM/Stream0"));
    EXPECT_FALSE(camera->stopDeviceDataStream(device));
    expectReportOf("stopDeviceDataStream", "DataStream::StopAcquisition");
}
