#include <gtest/gtest.h>

#include "cameranames.h"

TEST(NameTables, CameraTypeTableKeepsOneEntryPerCode) {
    EXPECT_EQ(CameraTypeNames.size(), 14);
    EXPECT_FALSE(CameraTypeNames.contains(static_cast<CameraType>(210)));
    EXPECT_EQ(CameraTypeNames.value(CAMERA_VIRTUAL), "Virtual Camera(100)");
    EXPECT_EQ(CameraTypeNames.value(CAMERA_BITFLOW), "BitFlow(110)");
    EXPECT_EQ(CameraTypeNames.value(CAMERA_BAUMER), "Baumer(160)");
    EXPECT_EQ(CameraTypeNames.value(CAMERA_DALSA), "Dalsa(230)");
}

TEST(NameTables, TablesIterateInAscendingCodeOrder) {
    QList<int> codes;
    for (auto it = ImageFormatNames.begin(); it != ImageFormatNames.end(); ++it) {
        codes.append(it.key());
    }
    EXPECT_EQ(codes, (QList<int>{0, 1, 2, 3, 4, 5, 11, 12}));
    EXPECT_EQ(ImageFormatNames.values(), (QList<QString>{"None", "GRAY8", "RGB24", "RGB32",
                                                         "GRAY16", "RGB48", "BGR24", "BGR32"}));
    QList<int> typeCodes;
    for (auto it = CameraTypeNames.begin(); it != CameraTypeNames.end(); ++it) {
        typeCodes.append(it.key());
    }
    EXPECT_EQ(typeCodes,
              (QList<int>{0, 100, 110, 120, 130, 140, 150, 160, 170, 180, 190, 200, 220, 230}));
}

TEST(NameTables, StateAndPortNames) {
    EXPECT_EQ(CameraStateNames.values(), (QList<QString>{"Uninitialized", "Initialized", "Opened",
                                                         "Running", "Paused", "Closed"}));
    EXPECT_EQ(PortTypeNames.values(),
              (QList<QString>{"Unknown", "Serial Port", "USB Port", "TCP Client", "TCP Server",
                              "TCP Client Session"}));
}
