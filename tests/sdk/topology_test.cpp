#include <gtest/gtest.h>

#include "sdkfixture.h"

using BGAPI2::Exceptions::IException;

TEST_F(SdkTest, DefaultTopologyHasAMonoAndABayerCamera) {
    BGAPI2::Device* mono = openFirstDevice(0);
    EXPECT_STREQ(mono->GetSerialNumber(), "SIM-MONO-0001");
    EXPECT_STREQ(mono->GetRemoteNode("PixelFormat")->GetString(), "Mono8");
    BGAPI2::Device* bayer = openFirstDevice(1);
    EXPECT_STREQ(bayer->GetRemoteNode("PixelFormat")->GetString(), "BayerRG8");
    EXPECT_TRUE(bayer->GetRemoteNodeList()->GetNodePresent("ExposureTimeAbs"));
    EXPECT_FALSE(bayer->GetRemoteNodeList()->GetNodePresent("ExposureTime"));
}

TEST_F(SdkTest, SystemListIsOneInstanceUntilReleased) {
    BGAPI2::SystemList* first = BGAPI2::SystemList::GetInstance();
    EXPECT_EQ(BGAPI2::SystemList::GetInstance(), first);
    BGAPI2::SystemList::ReleaseInstance();
    BGAPI2::SystemList* second = BGAPI2::SystemList::GetInstance();
    ASSERT_NE(second, nullptr);
    second->Refresh();
    EXPECT_EQ(second->size(), 1u);
}

TEST_F(SdkTest, UnavailableSystemListIsNull) {
    simcam::setSystemListAvailable(false);
    EXPECT_EQ(BGAPI2::SystemList::GetInstance(), nullptr);
    simcam::setSystemListAvailable(true);
    EXPECT_NE(BGAPI2::SystemList::GetInstance(), nullptr);
}

TEST_F(SdkTest, OneCameraOnTwoInterfacesIsTheSameDevice) {
    simcam::Topology topology = simTopology({simCamera("A")});
    topology.systems[0].interfaces.push_back({"If1", {"A"}, false});
    simcam::setTopology(topology);
    BGAPI2::System* system = refreshedList()->begin()->second;
    system->Open();
    BGAPI2::InterfaceList* interfaces = system->GetInterfaces();
    interfaces->Refresh(100);
    ASSERT_EQ(interfaces->size(), 2u);
    std::vector<BGAPI2::Device*> devices;
    for (auto& entry : *interfaces) {
        entry.second->Open();
        entry.second->GetDevices()->Refresh(100);
        devices.push_back(entry.second->GetDevices()->begin()->second);
    }
    devices[0]->Open();
    EXPECT_TRUE(devices[1]->IsOpen()) << "open state belongs to the camera";
    EXPECT_SDK_FAILURE(devices[1]->Open(), BGAPI2::Exceptions::ResourceInUseException);
}

TEST_F(SdkTest, RefreshSeesCamerasAddedLaterAndKeepsHandles) {
    simcam::setTopology(simTopology({simCamera("A")}));
    BGAPI2::Device* a = openFirstDevice();
    simcam::setTopology(simTopology({simCamera("A"), simCamera("B")}));
    BGAPI2::DeviceList* devices =
        refreshedList()->begin()->second->GetInterfaces()->begin()->second->GetDevices();
    devices->Refresh(100);
    ASSERT_EQ(devices->size(), 2u);
    EXPECT_EQ((*devices)["A"], a);
    EXPECT_STREQ((*devices)["B"]->GetSerialNumber(), "B");
    EXPECT_SDK_FAILURE((*devices)["missing"], IException);
}

TEST_F(SdkTest, NullChildListsAreReportedAsNull) {
    simcam::Topology topology = simTopology({simCamera("A")});
    topology.systems[0].interfaces[0].listUnavailable = true;
    topology.systems.push_back({"Sys1", {}, true});
    simcam::setTopology(topology);
    BGAPI2::SystemList* list = refreshedList();
    ASSERT_EQ(list->size(), 2u);
    BGAPI2::System* second = std::next(list->begin())->second;
    second->Open();
    EXPECT_EQ(second->GetInterfaces(), nullptr);
    BGAPI2::System* first = list->begin()->second;
    first->Open();
    first->GetInterfaces()->Refresh(100);
    BGAPI2::Interface* iface = first->GetInterfaces()->begin()->second;
    iface->Open();
    EXPECT_EQ(iface->GetDevices(), nullptr);
}

TEST_F(SdkTest, FeaturesRefuseMissingNamesBadEntriesAndOutOfRangeValues) {
    simcam::CameraConfig camera = simCamera("A");
    camera.exposure = simcam::ExposureFeature::ExposureTimeAbs;
    camera.exposureMin = 20.0;
    camera.exposureMax = 900.0;
    camera.hasAcquisitionAbort = false;
    simcam::setTopology(simTopology({camera}));
    BGAPI2::Device* device = openFirstDevice();
    EXPECT_FALSE(device->GetRemoteNodeList()->GetNodePresent("AcquisitionAbort"));
    EXPECT_SDK_FAILURE(device->GetRemoteNode("AcquisitionAbort"),
                       BGAPI2::Exceptions::NotAvailableException);
    EXPECT_SDK_FAILURE(device->GetRemoteNode("TriggerMode")->SetString("Maybe"),
                       BGAPI2::Exceptions::InvalidParameterException);
    BGAPI2::Node* exposure = device->GetRemoteNode("ExposureTimeAbs");
    EXPECT_DOUBLE_EQ(exposure->GetDoubleMin(), 20.0);
    EXPECT_DOUBLE_EQ(exposure->GetDoubleMax(), 900.0);
    EXPECT_NO_THROW(exposure->SetDouble(900.0));
    EXPECT_SDK_FAILURE(exposure->SetDouble(900.5), BGAPI2::Exceptions::OutOfRangeException);
    EXPECT_DOUBLE_EQ(exposure->GetDouble(), 900.0);
    BGAPI2::NodeMap* sources = device->GetRemoteNode("TriggerSource")->GetEnumNodeList();
    EXPECT_TRUE(sources->GetNodePresent("Software"));
    EXPECT_FALSE(sources->GetNodePresent("SoftwareTrigger"));
}

TEST_F(SdkTest, ClosedDeviceRefusesFeatureAccess) {
    BGAPI2::Device* device = openFirstDevice();
    device->Close();
    EXPECT_SDK_FAILURE(device->GetRemoteNode("PixelFormat"), IException);
    EXPECT_SDK_FAILURE(device->GetDataStreams(), IException);
}

TEST_F(SdkTest, RecordKeepsCallOrderObjectsAndArguments) {
    simcam::setTopology(simTopology({simCamera("A")}));
    BGAPI2::Device* device = openFirstDevice();
    simcam::setRecording(true);
    device->GetRemoteNode("TriggerMode")->SetString("On");
    device->GetRemoteNode("TriggerSoftware")->Execute();
    const auto calls = simcam::recordedCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].operation, "Device::GetRemoteNode");
    EXPECT_EQ(calls[0].args, "TriggerMode");
    EXPECT_EQ(calls[1].operation, "Node::SetString");
    EXPECT_EQ(calls[1].object, "A/TriggerMode");
    EXPECT_EQ(calls[1].args, "On");
    EXPECT_EQ(calls[3].operation, "Node::Execute");
    EXPECT_EQ(calls[3].object, "A/TriggerSoftware");
}
