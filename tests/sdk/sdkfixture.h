#pragma once

#include <gtest/gtest.h>

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "simcam/simcam.h"
#include "simtopology.h"

// Each test starts from a fresh system list over its own topology and
// releases it at the end.
class SdkTest : public ::testing::Test {
protected:
    void SetUp() override { simcam::reset(); }
    void TearDown() override {
        BGAPI2::SystemList::ReleaseInstance();
        simcam::reset();
    }

    BGAPI2::SystemList* refreshedList() {
        BGAPI2::SystemList* list = BGAPI2::SystemList::GetInstance();
        list->Refresh();
        return list;
    }

    // The device of the first interface of the first system, opened.
    BGAPI2::Device* openFirstDevice(std::size_t index = 0) {
        BGAPI2::System* system = refreshedList()->begin()->second;
        if (!system->IsOpen())
            system->Open();
        BGAPI2::InterfaceList* interfaces = system->GetInterfaces();
        interfaces->Refresh(100);
        BGAPI2::Interface* iface = interfaces->begin()->second;
        if (!iface->IsOpen())
            iface->Open();
        BGAPI2::DeviceList* devices = iface->GetDevices();
        devices->Refresh(100);
        auto it = devices->begin();
        std::advance(it, static_cast<long>(index));
        it->second->Open();
        return it->second;
    }
};

// Runs the statement and returns the SDK failure it raised; fails the test
// when it raised none.
#define EXPECT_SDK_FAILURE(statement, ExceptionKind)                    \
    do {                                                                \
        bool raised = false;                                            \
        try {                                                           \
            statement;                                                  \
        } catch (ExceptionKind&) {                                      \
            raised = true;                                              \
        }                                                               \
        EXPECT_TRUE(raised) << #statement " raised no " #ExceptionKind; \
    } while (0)
