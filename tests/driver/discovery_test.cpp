// Listing cameras and finding one by serial number.
#include "driverfixture.h"

TEST_F(DriverTest, ListsEveryCameraInListOrder) {
    simcam::Topology topology = simTopology({simCamera("B-2"), simCamera("A-1"), simCamera("C")});
    topology.systems[0].interfaces.push_back({"If1", {"C"}, false});
    topology.systems.push_back({"SysNull", {}, true});
    simcam::setTopology(topology);
    CCameraBaumer* camera = make();
    EXPECT_EQ(camera->IEnumAvailableCameras(),
              (QList<QString>{"baumer B-2", "baumer A-1", "baumer C", "baumer C"}));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DriverTest, NoSystemsOrNoneThatOpensListsNothing) {
    simcam::setTopology(simcam::Topology{});
    CCameraBaumer* camera = make();
    EXPECT_TRUE(camera->IEnumAvailableCameras().isEmpty());
    destroy(camera);

    simcam::setTopology(simTopology({simCamera("CAM1")}));
    simcam::Failure failure = failOn("System::Open");
    failure.always = true;
    simcam::injectFailure(failure);
    camera = make();
    EXPECT_TRUE(camera->IEnumAvailableCameras().isEmpty());
    expectReportOf("openSystem", "System::Open");
}

TEST_F(DriverTest, SkipsInterfacesThatFailAndGoesOn) {
    simcam::Topology topology = simTopology({simCamera("CAM1")});
    topology.systems[0].interfaces.insert(topology.systems[0].interfaces.begin(),
                                          {"Broken", {"CAM1"}, false});
    simcam::setTopology(topology);
    CCameraBaumer* camera = make();
    simcam::injectFailure(failOn("Interface::Open", "Broken"));
    EXPECT_EQ(camera->IEnumAvailableCameras(), (QList<QString>{"baumer CAM1"}));
    expectReportOf("openInterface", "Interface::Open");
    log.clear();
    simcam::injectFailure(failOn("DeviceList::Refresh", "Broken"));
    EXPECT_EQ(camera->IEnumAvailableCameras(), (QList<QString>{"baumer CAM1"}));
    expectReportOf("getDevices", "DeviceList::Refresh");
}

TEST_F(DriverTest, FailureWhileReadingSerialsKeepsTheNamesSoFar) {
    CCameraBaumer* camera = make();
    simcam::injectFailure(failOn("Device::GetSerialNumber", "CAM2"));
    EXPECT_EQ(camera->IEnumAvailableCameras(), (QList<QString>{"baumer CAM1"}));
    expectReportOf("IEnumAvailableCameras", "Device::GetSerialNumber");
}

TEST_F(DriverTest, CameraOpenedElsewhereIsListedAndCountsAsOpened) {
    CCameraBaumer* first = opened("CAM1");
    tagQZ_CAMERA_OPTION otherOption;
    otherOption.strCameraName = "baumer CAM1";
    TestHost otherHost;
    CCameraBaumer* second = make(&otherOption, &otherHost);
    EXPECT_EQ(second->IEnumAvailableCameras(), (QList<QString>{"baumer CAM1", "baumer CAM2"}));
    BGAPI2::Device* device = first->m_pDevice;
    simcam::setRecording(true);
    EXPECT_TRUE(second->openDevice(device));
    EXPECT_EQ(countCalls("Device::Open"), 0);
    first->ICloseCamera();
    EXPECT_EQ(countCalls("Device::Close"), 1);
    EXPECT_TRUE(second->closeDevice(device));
    EXPECT_EQ(countCalls("Device::Close"), 1) << "a closed device is not closed again";
}

TEST_F(DriverTest, SerialMatchIsExactAndFailedPreparationsAreClosed) {
    simcam::CameraConfig twin = simCamera("SAME", "Mono8");
    twin.id = "twin-a";
    simcam::CameraConfig other = simCamera("SAME", "Mono8");
    other.id = "twin-b";
    simcam::setTopology(simTopology({twin, other}));
    CCameraBaumer* camera = make();
    camera->IEnumAvailableCameras();
    BGAPI2::System* system = CCameraBaumer::s_pSystemList->begin()->second;
    BGAPI2::DeviceList* devices =
        camera->getDevices(camera->getSystemInterfaces(system)->begin()->second);

    EXPECT_EQ(camera->openDeviceBySerialNumber(devices, "same"), nullptr);
    simcam::injectFailure(failOn("Node::GetString", "twin-a/PixelFormat"));
    BGAPI2::Device* device = camera->openDeviceBySerialNumber(devices, "SAME");
    ASSERT_NE(device, nullptr);
    EXPECT_STREQ(device->GetID(), "twin-b") << "the next device with the serial is tried";
    EXPECT_FALSE(simcam::isOpen("twin-a"));
    camera->clearDeviceDataStream(device);
    camera->closeDevice(device);

    simcam::injectFailure(failOn("Device::GetDataStreams", "twin-a"));
    simcam::injectFailure(failOn("Device::GetDataStreams", "twin-b"));
    EXPECT_EQ(camera->openDeviceBySerialNumber(devices, "SAME"), nullptr);
    EXPECT_FALSE(simcam::isOpen("twin-a"));
    EXPECT_FALSE(simcam::isOpen("twin-b"));
}

TEST_F(DriverTest, OpenDeviceFailureIsReportedOnceByOpenDevice) {
    CCameraBaumer* camera = make();
    simcam::injectFailure(failOn("Device::Open", "CAM1"));
    EXPECT_EQ(camera->IOpenCamera(), 0);
    const auto lines = log.lines(QtCriticalMsg);
    ASSERT_EQ(lines.size(), 3u);
    expectReportOf("openDevice", "Device::Open");
}

TEST_F(DriverTest, EmptyDeviceListGivesNull) {
    simcam::setTopology(simTopology({}));
    CCameraBaumer* camera = make();
    camera->IEnumAvailableCameras();
    BGAPI2::System* system = CCameraBaumer::s_pSystemList->begin()->second;
    BGAPI2::DeviceList* devices =
        camera->getDevices(camera->getSystemInterfaces(system)->begin()->second);
    ASSERT_NE(devices, nullptr);
    EXPECT_EQ(camera->openDeviceBySerialNumber(devices, "CAM1"), nullptr);
}
