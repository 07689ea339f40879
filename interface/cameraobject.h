#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "cameraenums.h"
#include "camerarecords.h"
#include "lockedlist.h"
#include "poolcallback.h"

// The camera object shared by the host and every plug-in. Hosts read and
// write the members directly and call the operations by virtual slot, so the
// member order, widths and the order of the virtual operations are fixed.
class ICameraObject {
public:
    ICameraObject(tagQZ_CAMERA_OPTION* option, IPoolCallback* callback)
        : m_pOption(option),
          m_nBitsPerPixel(imageFormatBits(option->nImageFormat)),
          m_pCallback(callback),
          m_lockedList(true) {
        m_nImageSize = m_nWidth * m_nHeight * ((m_nBitsPerPixel + 7) / 8);
    }
    virtual ~ICameraObject() = default;

    virtual int IOpenCamera() = 0;
    virtual void ICloseCamera() = 0;
    virtual int IStartCamera() = 0;
    virtual void IStopCamera() = 0;
    virtual void IReservedA() = 0;
    virtual void IReservedB() = 0;
    virtual QList<QString> IEnumAvailableCameras() { return QList<QString>(); }
    // Readiness test: may a trigger be fired now?
    virtual int ITriggerCamera(int n) {
        (void)n;
        if (!m_bGrabbing || m_pOption == nullptr || m_pOption->bStop) {
            return 0;
        }
        if (m_nCurMode == MODE_FRAME_LIMIT && m_nFrameId >= m_nFrameLimit) {
            return 0;
        }
        return 1;
    }
    virtual int ISendSoftTrigger() { return ITriggerCamera(0); }
    virtual int IReservedC() { return 0; }
    virtual void ISetProperty(tagQZ_CAMERA_PROPERTY* property) { (void)property; }
    virtual char* IGetByteBuffer() { return m_byteBuffer.data(); }
    virtual void IReservedD(void* data) { (void)data; }
    virtual int IReservedE(int value) {
        (void)value;
        return 0;
    }

    tagQZ_CAMERA_OPTION* m_pOption;
    bool m_bOpened = false;
    bool m_bGrabbing = false;
    bool m_bHostFlag = true;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nImageSize = 0;
    int m_nBitsPerPixel;
    int m_nImageFormat = 0;
    std::uint32_t m_nFrameLimit = 0;
    std::uint32_t m_nFrameId = 0;
    int m_nStartCount = 0;
    int m_nCurMode = 0;
    int m_nReqMode = MODE_EXTERNAL_TRIGGER;
    unsigned char* m_pImageData = nullptr;
    QByteArray m_byteBuffer;
    IPoolCallback* m_pCallback;
    std::int64_t m_nFrameStatus = 0;
    std::int64_t m_nHostValue = 0;
    CLockedList m_lockedList;
    bool m_bHostBusy = false;
};

// offsetof on a polymorphic class is conditionally supported; GCC and Clang
// give the Itanium layout, which is the one hosts are built with.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(ICameraObject, m_pOption) == 8, "host layout");
static_assert(offsetof(ICameraObject, m_bOpened) == 16, "host layout");
static_assert(offsetof(ICameraObject, m_bGrabbing) == 17, "host layout");
static_assert(offsetof(ICameraObject, m_bHostFlag) == 18, "host layout");
static_assert(offsetof(ICameraObject, m_nWidth) == 20, "host layout");
static_assert(offsetof(ICameraObject, m_nHeight) == 24, "host layout");
static_assert(offsetof(ICameraObject, m_nImageSize) == 28, "host layout");
static_assert(offsetof(ICameraObject, m_nBitsPerPixel) == 32, "host layout");
static_assert(offsetof(ICameraObject, m_nImageFormat) == 36, "host layout");
static_assert(offsetof(ICameraObject, m_nFrameLimit) == 40, "host layout");
static_assert(offsetof(ICameraObject, m_nFrameId) == 44, "host layout");
static_assert(offsetof(ICameraObject, m_nStartCount) == 48, "host layout");
static_assert(offsetof(ICameraObject, m_nCurMode) == 52, "host layout");
static_assert(offsetof(ICameraObject, m_nReqMode) == 56, "host layout");
static_assert(offsetof(ICameraObject, m_pImageData) == 64, "host layout");
static_assert(offsetof(ICameraObject, m_byteBuffer) == 72, "host layout");
static_assert(offsetof(ICameraObject, m_pCallback) == 80, "host layout");
static_assert(offsetof(ICameraObject, m_nFrameStatus) == 88, "host layout");
static_assert(offsetof(ICameraObject, m_nHostValue) == 96, "host layout");
static_assert(offsetof(ICameraObject, m_lockedList) == 104, "host layout");
static_assert(offsetof(ICameraObject, m_bHostBusy) == 128, "host layout");
#pragma GCC diagnostic pop
static_assert(sizeof(ICameraObject) == 136, "host layout");
