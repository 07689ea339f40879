#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Option record the host hands to Camera_Create. Plug-ins read the camera
// name, the image format and the stop flag; the rest belongs to the host.
struct tagQZ_CAMERA_OPTION {
    int nCameraType = 0;
    int nCameraIndex = 0;
    QString strCameraId;
    QString strVendor;
    QString strCameraName;
    int nWidth = 0;
    int nHeight = 0;
    int nBitsPerPixel = 0;
    int nImageFormat = 0;
    QString strConfigFile;
    QString strSerialPort;
    int nExposureTime = 0;
    int nGain = 0;
    int nTriggerMode = 0;
    int nTriggerDelay = 0;
    double dFrameRate = 0.0;
    int nTimeoutMs = 0;
    int nBufferCount = 0;
    std::int64_t nUserData = 0;
    void* pUserContext = nullptr;
    int nPortType = 0;
    int nReserved = 0;
    bool bStop = false;
};

enum CameraPropertyType : int {
    PROPERTY_EXPOSURE_TIME = 1,
};

// Property record handed to ISetProperty.
struct tagQZ_CAMERA_PROPERTY {
    int nType = 0;
    int nValue = 0;
};

static_assert(offsetof(tagQZ_CAMERA_OPTION, strCameraName) == 24, "host layout");
static_assert(offsetof(tagQZ_CAMERA_OPTION, nImageFormat) == 44, "host layout");
static_assert(offsetof(tagQZ_CAMERA_OPTION, bStop) == 120, "host layout");
static_assert(offsetof(tagQZ_CAMERA_PROPERTY, nType) == 0, "host layout");
static_assert(offsetof(tagQZ_CAMERA_PROPERTY, nValue) == 4, "host layout");
