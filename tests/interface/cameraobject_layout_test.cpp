// The camera object's virtual table order is part of the host contract; the
// member offsets are pinned at compile time next to the class.
#include <gtest/gtest.h>

#include "cameraobject.h"
#include "vtableslot.h"

TEST(CameraObjectLayout, VirtualOperationsKeepTheirSlots) {
    // Slots 0 and 1 hold the two destructor entries.
    EXPECT_EQ(vtableSlot(&ICameraObject::IOpenCamera), 2);
    EXPECT_EQ(vtableSlot(&ICameraObject::ICloseCamera), 3);
    EXPECT_EQ(vtableSlot(&ICameraObject::IStartCamera), 4);
    EXPECT_EQ(vtableSlot(&ICameraObject::IStopCamera), 5);
    EXPECT_EQ(vtableSlot(&ICameraObject::IReservedA), 6);
    EXPECT_EQ(vtableSlot(&ICameraObject::IReservedB), 7);
    EXPECT_EQ(vtableSlot(&ICameraObject::IEnumAvailableCameras), 8);
    EXPECT_EQ(vtableSlot(&ICameraObject::ITriggerCamera), 9);
    EXPECT_EQ(vtableSlot(&ICameraObject::ISendSoftTrigger), 10);
    EXPECT_EQ(vtableSlot(&ICameraObject::IReservedC), 11);
    EXPECT_EQ(vtableSlot(&ICameraObject::ISetProperty), 12);
    EXPECT_EQ(vtableSlot(&ICameraObject::IGetByteBuffer), 13);
    EXPECT_EQ(vtableSlot(&ICameraObject::IReservedD), 14);
    EXPECT_EQ(vtableSlot(&ICameraObject::IReservedE), 15);
}

TEST(CameraObjectLayout, OnFrameReadyIsTheThirdCallbackSlot) {
    EXPECT_EQ(vtableSlot(&IPoolCallback::OnFrameReady), 2);
}
