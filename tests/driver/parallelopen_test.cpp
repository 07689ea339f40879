// Hosts with several cameras create, open and delete driver objects on
// threads of their own; the shared system list must hold up.
#include <thread>

#include "driverfixture.h"

class ParallelOpen : public DriverTest {};

TEST_F(ParallelOpen, DistinctCamerasOpenAndCloseOnTwoThreadsAtOnce) {
    auto cycle = [](const char* name, int rounds, int* opened) {
        TestHost host;
        tagQZ_CAMERA_OPTION option;
        option.strCameraName = name;
        for (int i = 0; i < rounds; ++i) {
            CCameraBaumer camera(&option, &host);
            *opened += camera.IOpenCamera();
            camera.IEnumAvailableCameras();
            camera.ICloseCamera();
        }
    };
    constexpr int kRounds = 300;
    int openedFirst = 0;
    int openedSecond = 0;
    std::thread first(cycle, "baumer CAM1", kRounds, &openedFirst);
    std::thread second(cycle, "baumer CAM2", kRounds, &openedSecond);
    first.join();
    second.join();
    EXPECT_EQ(openedFirst, kRounds);
    EXPECT_EQ(openedSecond, kRounds);
    EXPECT_TRUE(log.lines(QtCriticalMsg).empty());
}
