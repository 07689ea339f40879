// The three trigger set-ups, software triggers and ITriggerCamera.
#include "driverfixture.h"

namespace {

// Operation and argument of every feature write or command, in order.
std::vector<std::string> featureWrites() {
    std::vector<std::string> writes;
    for (const auto& call : simcam::recordedCalls()) {
        if (call.operation == "Node::Execute") {
            writes.push_back(call.object.substr(call.object.find('/') + 1));
        } else if (call.operation == "Node::SetString") {
            writes.push_back(call.object.substr(call.object.find('/') + 1) + "=" + call.args);
        }
    }
    return writes;
}

using Writes = std::vector<std::string>;

}  // namespace

class Triggers : public DriverTest {
protected:
    CCameraBaumer* openWith(simcam::CameraConfig config) {
        simcam::setTopology(simTopology({config}));
        CCameraBaumer* camera = opened(config.serial.c_str());
        simcam::setRecording(true);
        log.clear();
        return camera;
    }
};

TEST_F(Triggers, SetUpsWriteTheirFeaturesInOrder) {
    CCameraBaumer* camera = openWith(simCamera("CAM1"));
    EXPECT_TRUE(camera->setDeviceOutTrigger(camera->m_pDevice));
    EXPECT_EQ(featureWrites(), (Writes{"AcquisitionAbort", "AcquisitionStop", "TriggerMode=On",
                                       "TriggerSource=Line0", "AcquisitionStart"}));
    EXPECT_EQ(log.lines(QtDebugMsg).back().text,
              "Set out trigger successful.  -  CCameraBaumer::setDeviceOutTrigger");
    EXPECT_NE(log.lines(QtDebugMsg).back().function.find("setDeviceOutTrigger"), std::string::npos)
        << "the line carries the context of its step";
    simcam::clearRecordedCalls();
    EXPECT_TRUE(camera->setDeviceAutoTrigger(camera->m_pDevice));
    EXPECT_EQ(featureWrites(), (Writes{"AcquisitionAbort", "AcquisitionStop", "TriggerMode=Off",
                                       "TriggerSource=Line0", "AcquisitionStart"}));
    EXPECT_EQ(log.lines(QtDebugMsg).back().text,
              "Set auto trigger successful.  -  CCameraBaumer::setDeviceAutoTrigger");
    EXPECT_NE(log.lines(QtDebugMsg).back().function.find("setDeviceAutoTrigger"), std::string::npos)
        << "the line carries the context of its step";
    simcam::clearRecordedCalls();
    EXPECT_TRUE(camera->setDeviceSoftTrigger(camera->m_pDevice));
    EXPECT_EQ(featureWrites(), (Writes{"AcquisitionAbort", "AcquisitionStop", "TriggerMode=On",
                                       "TriggerSource=Software", "AcquisitionStart"}));
    EXPECT_EQ(log.lines(QtDebugMsg).back().text,
              "Set soft trigger successful.  -  CCameraBaumer::setDeviceSoftTrigger");
    EXPECT_NE(log.lines(QtDebugMsg).back().function.find("setDeviceSoftTrigger"), std::string::npos)
        << "the line carries the context of its step";
    EXPECT_TRUE(simcam::isAcquiring("CAM1"));
}

TEST_F(Triggers, SoftwareTriggerEntryIsPreferredAndAbortIsOptional) {
    simcam::CameraConfig config = simCamera("CAM1");
    config.triggerSources = {"Line0", "Software", "SoftwareTrigger"};
    config.hasAcquisitionAbort = false;
    CCameraBaumer* camera = openWith(config);
    EXPECT_TRUE(camera->setDeviceSoftTrigger(camera->m_pDevice));
    EXPECT_EQ(featureWrites(), (Writes{"AcquisitionStop", "TriggerMode=On",
                                       "TriggerSource=SoftwareTrigger", "AcquisitionStart"}));
    EXPECT_TRUE(log.lines(QtCriticalMsg).empty());
}

TEST_F(Triggers, StreamStartFailureStopsBeforeAcquisitionStart) {
    CCameraBaumer* camera = openWith(simCamera("CAM1"));
    simcam::injectFailure(failOn("DataStreamList::Refresh"));
    EXPECT_FALSE(camera->setDeviceOutTrigger(camera->m_pDevice));
    expectReportOf("startDeviceDataStream", "DataStreamList::Refresh");
    const Writes writes = featureWrites();
    EXPECT_EQ(std::count(writes.begin(), writes.end(), "AcquisitionStart"), 0);
    EXPECT_TRUE(log.lines(QtDebugMsg).empty());
    EXPECT_EQ(simcam::featureValue("CAM1", "TriggerMode"), "On") << "written features stay";
}

TEST_F(Triggers, MissingTriggerFeaturesFailTheSetUp) {
    simcam::CameraConfig config = simCamera("CAM1");
    config.hasTriggerFeatures = false;
    CCameraBaumer* camera = openWith(config);
    EXPECT_FALSE(camera->setDeviceSoftTrigger(camera->m_pDevice));
    expectReport("setDeviceSoftTrigger", "NotAvailableException", "no feature 'TriggerMode'",
                 "NodeMap::GetNode");
    EXPECT_EQ(camera->ISendSoftTrigger(), 0);
    expectReport("ISendSoftTrigger", "NotAvailableException", "no feature 'TriggerSoftware'",
                 "NodeMap::GetNode", 3);
}

TEST_F(Triggers, SendSoftTriggerNeedsADeviceButNoMode) {
    CCameraBaumer* camera = make();
    simcam::setRecording(true);
    EXPECT_EQ(camera->ISendSoftTrigger(), 0);
    EXPECT_TRUE(simcam::recordedCalls().empty());
    option.strCameraName = "baumer CAM1";
    ASSERT_EQ(camera->IOpenCamera(), 1);
    simcam::clearRecordedCalls();
    EXPECT_EQ(camera->ISendSoftTrigger(), 1);
    EXPECT_EQ(featureWrites(), (Writes{"TriggerSoftware"}));
}

TEST_F(Triggers, TriggerCameraSwitchesToSoftwareTriggerWhenReady) {
    CCameraBaumer* camera = openWith(simCamera("CAM1"));
    EXPECT_EQ(camera->ITriggerCamera(0), 0) << "not grabbing";
    EXPECT_TRUE(featureWrites().empty());

    camera->m_bGrabbing = true;
    camera->m_nCurMode = MODE_FRAME_LIMIT;
    camera->m_nFrameLimit = 3;
    camera->m_nFrameId = 3;
    EXPECT_EQ(camera->ITriggerCamera(0), 0) << "limit reached";
    EXPECT_TRUE(featureWrites().empty());

    camera->m_nCurMode = MODE_SOFT_TRIGGER;
    EXPECT_EQ(camera->ITriggerCamera(0), 1);
    Writes writes = featureWrites();
    EXPECT_EQ(std::count(writes.begin(), writes.end(), "TriggerSoftware"), 0) << "fires nothing";
    EXPECT_EQ(simcam::featureValue("CAM1", "TriggerSource"), "Software");
    EXPECT_EQ(camera->m_nCurMode, MODE_SOFT_TRIGGER);

    simcam::clearRecordedCalls();
    camera->m_nCurMode = MODE_EXTERNAL_TRIGGER;
    simcam::injectFailure(failOn("Node::Execute", "CAM1/TriggerSoftware"));
    EXPECT_EQ(camera->ITriggerCamera(0), 1) << "even when firing fails";
    writes = featureWrites();
    EXPECT_EQ(writes.back(), "TriggerSoftware");
    expectReportOf("ISendSoftTrigger", "Node::Execute");
}

TEST_F(Triggers, SetUpFailuresAreReportedByTheStep) {
    const struct {
        const char* feature;
        const char* operation;
    } cases[] = {{"AcquisitionAbort", "Node::Execute"},
                 {"AcquisitionStop", "Node::Execute"},
                 {"TriggerMode", "Node::SetString"},
                 {"TriggerSource", "Node::SetString"},
                 {"AcquisitionStart", "Node::Execute"}};
    CCameraBaumer* camera = openWith(simCamera("CAM1"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feature);
        log.clear();
        simcam::injectFailure(failOn(c.operation, std::string("CAM1/") + c.feature));
        EXPECT_FALSE(camera->setDeviceAutoTrigger(camera->m_pDevice));
        expectReportOf("setDeviceAutoTrigger", c.operation);
        EXPECT_TRUE(log.lines(QtDebugMsg).empty());
    }
}
