#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "camerabaumer.h"
#include "logcapture.h"
#include "simcam/simcam.h"
#include "simtopology.h"
#include "testhost.h"

// Driver objects made by a test are deleted at its end; the shared system
// list must then be released.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        simcam::reset();
        simcam::setTopology(simTopology({simCamera("CAM1"), simCamera("CAM2", "BayerRG8")}));
        option.strCameraName = "baumer CAM1";
    }

    void TearDown() override {
        objects.clear();
        EXPECT_EQ(CCameraBaumer::s_nSystemListRefs, 0);
        EXPECT_EQ(CCameraBaumer::s_pSystemList, nullptr);
        simcam::reset();
    }

    CCameraBaumer* make() { return make(&option, &host); }

    CCameraBaumer* make(tagQZ_CAMERA_OPTION* opt, TestHost* callback) {
        objects.push_back(std::make_unique<CCameraBaumer>(opt, callback));
        return objects.back().get();
    }

    void destroy(CCameraBaumer* camera) {
        for (auto it = objects.begin(); it != objects.end(); ++it) {
            if (it->get() == camera) {
                objects.erase(it);
                return;
            }
        }
    }

    // A driver object whose camera (by serial) is open.
    CCameraBaumer* opened(const char* serial = "CAM1") {
        CCameraBaumer* camera = make();
        option.strCameraName = QString("baumer ") + serial;
        EXPECT_EQ(camera->IOpenCamera(), 1);
        return camera;
    }

    // The report of one caught SDK failure: three critical lines.
    void expectReport(const std::string& operation, const std::string& type,
                      const std::string& description, const std::string& function,
                      std::size_t firstLine = 0) {
        const auto lines = log.lines(QtCriticalMsg);
        ASSERT_GE(lines.size(), firstLine + 3);
        const std::string suffix = " - CCameraBaumer::" + operation;
        EXPECT_EQ(lines[firstLine].text, "ExceptionType:      " + type + " " + suffix);
        EXPECT_EQ(lines[firstLine + 1].text, "ErrorDescription:   " + description + " " + suffix);
        EXPECT_EQ(lines[firstLine + 2].text, "in function:        " + function + " " + suffix);
    }

    // Injects the test failure of this SDK operation and expects its report.
    void expectReportOf(const std::string& operation, const std::string& sdkCall,
                        std::size_t firstLine = 0) {
        expectReport(operation, "TestFailure", "failure of " + sdkCall, sdkCall, firstLine);
    }

    // Memory of every buffer of the open device's streams.
    static std::set<const void*> bufferMemory(CCameraBaumer* camera) {
        std::set<const void*> memory;
        BGAPI2::DataStreamList* streams = camera->m_pDevice->GetDataStreams();
        for (auto& stream : *streams) {
            for (auto& buffer : *stream.second->GetBufferList()) {
                memory.insert(buffer.second->GetMemPtr());
            }
        }
        return memory;
    }

    static std::size_t bufferCount(BGAPI2::Device* device) {
        std::size_t count = 0;
        for (auto& stream : *device->GetDataStreams()) {
            count += stream.second->GetBufferList()->size();
        }
        return count;
    }

    // Index of the first recorded call of this operation at or after `from`.
    static std::size_t findCall(const std::vector<simcam::Call>& calls,
                                const std::string& operation, std::size_t from = 0) {
        for (std::size_t i = from; i < calls.size(); ++i) {
            if (calls[i].operation == operation)
                return i;
        }
        return calls.size();
    }

    static int countCalls(const std::string& operation, const std::string& object = {}) {
        int count = 0;
        for (const auto& call : simcam::recordedCalls()) {
            count += call.operation == operation && (object.empty() || call.object == object);
        }
        return count;
    }

    LogCapture log;
    tagQZ_CAMERA_OPTION option;
    TestHost host;
    std::vector<std::unique_ptr<CCameraBaumer>> objects;
};
