#pragma once

#include <QMap>
#include <QString>

#include <initializer_list>
#include <utility>

// Codes shared by the host and every camera plug-in. Their numeric values are
// part of the host contract.

enum CameraType : int {
    CAMERA_UNKNOWN = 0,
    CAMERA_VIRTUAL = 100,
    CAMERA_BITFLOW = 110,
    CAMERA_GIGE = 120,
    CAMERA_USB = 130,
    CAMERA_HIK = 140,
    CAMERA_VIMBA = 150,
    CAMERA_BAUMER = 160,
    CAMERA_ADLINK = 170,
    CAMERA_DAHUA = 180,
    CAMERA_BASLER = 190,
    CAMERA_PTGRAY = 200,
    CAMERA_EURESYS = 220,
    CAMERA_DALSA = 230,
};

enum CameraState : int {
    Uninitialized = 0,
    Initialized = 1,
    Opened = 2,
    Running = 3,
    Paused = 4,
    Closed = 5,
};

enum ImageFormat : int {
    None = 0,
    GRAY8 = 1,
    RGB24 = 2,
    RGB32 = 3,
    GRAY16 = 4,
    RGB48 = 5,
    BGR24 = 11,
    BGR32 = 12,
};

enum PortType : int {
    PORT_UNKNOWN = 0,
    PORT_SERIAL = 1,
    PORT_USB = 2,
    PORT_TCP_CLIENT = 3,
    PORT_TCP_SERVER = 4,
    PORT_TCP_CLIENT_SESSION = 5,
};

enum AcquisitionMode : int {
    MODE_EXTERNAL_TRIGGER = 1,
    MODE_CONTINUOUS = 2,
    MODE_FRAME_LIMIT = 3,
    MODE_SOFT_TRIGGER = 4,
};

// Bits per pixel of an image format code. Only the four formats the host
// sizes buffers for have a count; every other code gives 0.
inline int imageFormatBits(int format) {
    switch (format) {
        case GRAY8:
            return 8;
        case RGB24:
            return 24;
        case RGB32:
            return 32;
        case GRAY16:
            return 16;
        default:
            return 0;
    }
}
