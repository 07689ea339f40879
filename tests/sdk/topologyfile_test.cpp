// The simulated cameras' JSON file: what cannot be used is refused with one
// message naming the file and the key or position, never passed over.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <string>

#include "simcam/simcam.h"

namespace {

class TopologyFile : public ::testing::Test {
protected:
    // Writes text as the file and loads it; the message, or "" when loaded.
    std::string load(const std::string& text) {
        std::ofstream(path) << text;
        std::string error;
        if (simcam::loadTopologyFile(path, &topology, &error)) {
            EXPECT_TRUE(error.empty());
            return "";
        }
        EXPECT_FALSE(error.empty());
        return error;
    }

    // The message for one camera described by these members.
    std::string loadCamera(const std::string& members) {
        const std::string error = load(R"({"cameras": [{)" + members + "}]}");
        const std::string prefix = path + ": ";
        if (error.empty()) {
            return error;
        }
        EXPECT_EQ(error.compare(0, prefix.size(), prefix), 0) << error;
        return error.substr(std::min(error.size(), prefix.size()));
    }

    QTemporaryDir dir;
    const std::string path = dir.filePath("cameras.json").toStdString();
    simcam::Topology topology;
};

}  // namespace

TEST_F(TopologyFile, FilesThatCannotBeReadOrParsedNameTheFileAndWhere) {
    std::string error;
    const std::string missing = dir.filePath("nothing.json").toStdString();
    EXPECT_FALSE(simcam::loadTopologyFile(missing, &topology, &error));
    EXPECT_EQ(error.rfind(missing + ": cannot read: ", 0), 0u) << error;
    EXPECT_FALSE(simcam::loadTopologyFile(dir.path().toStdString(), &topology, &error));
    EXPECT_EQ(error, dir.path().toStdString() + ": is a directory, not a JSON file");

    EXPECT_EQ(load("{\n  \"cameras\": [\n    {\"serial\": \"A\",}\n  ]\n}"),
              path + ": line 3, column 21: object is missing after a comma");
    EXPECT_EQ(load(R"([{"serial": "A"}])"),
              path + ": the top level must be an object with \"cameras\"");
    EXPECT_EQ(load(R"({"camera": [{"serial": "A"}]})"), path + ": unknown key \"camera\"");
    EXPECT_EQ(load(R"({"systems": []})"), path + ": needs \"cameras\"");
    EXPECT_EQ(load(R"({"cameras": {"serial": "A"}})"),
              path + ": \"cameras\" must be an array of objects");
}

TEST_F(TopologyFile, CameraKeysAreCheckedForNameTypeAndRange) {
    EXPECT_EQ(loadCamera(R"("width": 64)"), "cameras[0]: needs \"serial\"");
    EXPECT_EQ(loadCamera(R"("serial": "")"),
              "cameras[0]: \"serial\" must be a non-empty string, not \"\"");
    EXPECT_EQ(loadCamera(R"("serial": "A", "widht": 64)"), "camera \"A\": unknown key \"widht\"");
    // Whole numbers in range: key, value as written, its range.
    const char* const wholeNumbers[][3] = {
        {"height", "-3", "1 to 32768"},      {"width", "0", "1 to 32768"},
        {"width", "40000", "1 to 32768"},    {"width", "\"64\"", "1 to 32768"},
        {"width", "64.5", "1 to 32768"},     {"streams", "0", "1 to 16"},
        {"streams", "1000000000", "1 to 16"}};
    for (const auto& [key, value, range] : wholeNumbers) {
        EXPECT_EQ(loadCamera(std::string(R"("serial": "A", ")") + key + "\": " + value),
                  std::string("camera \"A\": \"") + key + "\" must be a whole number from " +
                      range + ", not " + value);
    }
    EXPECT_EQ(loadCamera(R"("serial": "A", "acquisitionAbort": "yes")"),
              "camera \"A\": \"acquisitionAbort\" must be true or false, not \"yes\"");
    EXPECT_EQ(loadCamera(R"("serial": "A", "triggerSources": ["Line0", 3])"),
              "camera \"A\": \"triggerSources\" must be an array of non-empty strings");
    EXPECT_EQ(loadCamera(R"("serial": "A", "exposure": "Shutter")"),
              "camera \"A\": \"exposure\" is one of ExposureTime, ExposureTimeAbs, none, not "
              "\"Shutter\"");
    EXPECT_EQ(loadCamera(R"("serial": "A", "width": 641, "pixelFormat": "YUV422Packed")"),
              "camera 'A': width 641 cannot be laid out in YUV422Packed");
}

TEST_F(TopologyFile, RatesMustBeFiniteAndTheirPeriodMustFit) {
    EXPECT_EQ(loadCamera(R"("serial": "A", "frameRate": 1e-12)"),
              "camera 'A': frameRate must be finite and 0 or less, or at least 0.001000 a "
              "second, not 0.000000");
    EXPECT_EQ(loadCamera(R"("serial": "A", "linePulseRate": 1e-4)"),
              "camera 'A': linePulseRate must be finite and 0 or less, or at least 0.001000 a "
              "second, not 0.000100");
    EXPECT_EQ(loadCamera(R"("serial": "A", "frameRate": 1e999)"),
              "line 1, column 48: illegal number");
    EXPECT_EQ(loadCamera(R"("serial": "A", "frameRate": 0.001)"), "");
    EXPECT_EQ(loadCamera(R"("serial": "A", "frameRate": -1)"), "");
}

TEST_F(TopologyFile, FrameIdsMustFitSixtyFourBits) {
    EXPECT_EQ(loadCamera(R"("serial": "A", "firstFrameId": 18446744073709549568)"), "");
    EXPECT_EQ(topology.cameras[0].firstFrameId, 18446744073709549568u);
    for (const char* id : {"-1", "18446744073709551616", "1e300", "2.5"}) {
        EXPECT_EQ(loadCamera(std::string(R"("serial": "A", "firstFrameId": )") + id),
                  "camera \"A\": \"firstFrameId\" must be a whole number from 0 to 2^64-1")
            << id;
    }
}

TEST_F(TopologyFile, SystemsNameOnlyCamerasThatExistAndIdsAreUnique) {
    EXPECT_EQ(load(R"({"cameras": [{"serial": "A"}], "systems": [{"id": "S", "interfaces":
                   [{"id": "I", "cameras": ["A", "B"]}]}]})"),
              path + ": systems[0].interfaces[0]: camera \"B\" is not one of \"cameras\"");
    EXPECT_EQ(load(R"({"cameras": [{"serial": "A"}, {"serial": "A"}]})"),
              path + ": two cameras have the id \"A\"");
    // Two cameras may share a serial number, as cloned cameras do, under ids of their own.
    EXPECT_EQ(load(R"({"cameras": [{"serial": "A", "id": "one"}, {"serial": "A", "id": "two"}]})"),
              "");
    ASSERT_EQ(topology.systems.size(), 1u);
    EXPECT_EQ(topology.systems[0].interfaces[0].cameras, (std::vector<std::string>{"one", "two"}));
}

TEST_F(TopologyFile, TheExampleLoads) {
    std::string error;
    EXPECT_TRUE(simcam::loadTopologyFile(QZCAM_EXAMPLE_CONFIG, &topology, &error)) << error;
    EXPECT_EQ(topology.cameras.size(), 2u);
}

// The file named in the environment: the default cameras when none is named,
// no cameras at all (and why) when it cannot be used.
TEST_F(TopologyFile, EnvironmentFileReplacesTheDefaultsOrGivesNoCameras) {
    std::string error;
    unsetenv("SIMCAM_CONFIG");
    EXPECT_EQ(simcam::topologyFromEnvironment(&error).cameras.size(), 2u);
    EXPECT_EQ(error, "");

    ASSERT_EQ(load(R"({"cameras": [{"serial": "ONLY"}]})"), "");
    setenv("SIMCAM_CONFIG", path.c_str(), 1);
    const simcam::Topology loaded = simcam::topologyFromEnvironment(&error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(loaded.cameras.size(), 1u);
    EXPECT_EQ(loaded.cameras[0].serial, "ONLY");

    ASSERT_NE(load(R"({"cameras": [{"serial": "ONLY", "height": -1}]})"), "");
    EXPECT_EQ(simcam::topologyFromEnvironment(&error).cameras.size(), 0u);
    EXPECT_EQ(error.rfind(path + ": camera \"ONLY\": \"height\"", 0), 0u) << error;
    unsetenv("SIMCAM_CONFIG");
}
