#include <gtest/gtest.h>

#include <QLoggingCategory>

#include "logcapture.h"

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "sdkfixture.h"
#include "vtableslot.h"

using BGAPI2::Exceptions::IException;

TEST(SdkExceptions, AccessorsFollowTheDestructorInTheirFixedOrder) {
    EXPECT_EQ(vtableSlot(&IException::GetErrorDescription), 2);
    EXPECT_EQ(vtableSlot(&IException::GetFunctionName), 3);
    EXPECT_EQ(vtableSlot(&IException::GetType), 4);
}

TEST(SdkExceptions, ConcreteKindsAreCaughtAsTheInterfaceWithTheirTexts) {
    try {
        throw BGAPI2::Exceptions::InvalidParameterException("bad value", "Node::SetDouble");
    } catch (IException& ex) {
        EXPECT_STREQ(ex.GetType(), "InvalidParameterException");
        EXPECT_STREQ(ex.GetErrorDescription(), "bad value");
        EXPECT_STREQ(ex.GetFunctionName(), "Node::SetDouble");
    }
}

TEST_F(SdkTest, InjectedFailureCarriesItsThreeTextsAndKind) {
    simcam::Failure failure = failOn("SystemList::Refresh");
    failure.kind = simcam::FailureKind::LowLevel;
    failure.type = "";
    simcam::injectFailure(failure);
    BGAPI2::SystemList* list = BGAPI2::SystemList::GetInstance();
    try {
        list->Refresh();
        FAIL() << "no failure raised";
    } catch (BGAPI2::Exceptions::LowLevelException& ex) {
        EXPECT_STREQ(ex.GetType(), "LowLevelException");
        EXPECT_STREQ(ex.GetErrorDescription(), "failure of SystemList::Refresh");
        EXPECT_STREQ(ex.GetFunctionName(), "SystemList::Refresh");
    }
    EXPECT_NO_THROW(list->Refresh()) << "a one-shot failure fires once";
}

TEST_F(SdkTest, NthCallAndObjectFilterSelectWhichCallFails) {
    simcam::setTopology(simTopology({simCamera("A"), simCamera("B")}));
    simcam::injectFailure(failOn("Device::GetSerialNumber", "B", 2));
    openFirstDevice();
    BGAPI2::DeviceList* devices =
        refreshedList()->begin()->second->GetInterfaces()->begin()->second->GetDevices();
    BGAPI2::Device* a = devices->begin()->second;
    BGAPI2::Device* b = std::next(devices->begin())->second;
    EXPECT_NO_THROW(a->GetSerialNumber());
    EXPECT_NO_THROW(b->GetSerialNumber());
    EXPECT_NO_THROW(a->GetSerialNumber());
    EXPECT_SDK_FAILURE(b->GetSerialNumber(), IException);
    EXPECT_NO_THROW(b->GetSerialNumber());

    simcam::Failure always = failOn("Device::GetModel");
    always.always = true;
    simcam::injectFailure(always);
    EXPECT_SDK_FAILURE(a->GetModel(), IException);
    EXPECT_SDK_FAILURE(a->GetModel(), IException);
    simcam::clearFailures();
    EXPECT_NO_THROW(a->GetModel());
}

TEST_F(SdkTest, SdkLogIsSilentUnlessEnabled) {
    LogCapture log;
    BGAPI2::SystemList* list = BGAPI2::SystemList::GetInstance();
    simcam::injectFailure(failOn("SystemList::Refresh"));
    EXPECT_SDK_FAILURE(list->Refresh(), IException);
    EXPECT_TRUE(log.lines().empty());
    QLoggingCategory::setFilterRules("bgapi2.sdk.debug=true");
    simcam::injectFailure(failOn("SystemList::Refresh"));
    EXPECT_SDK_FAILURE(list->Refresh(), IException);
    QLoggingCategory::setFilterRules("");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].text, "injected failure of SystemList::Refresh");
}
