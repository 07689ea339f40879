#pragma once

#include <QList>
#include <QMessageLogContext>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "cameranames.h"
#include "cameraobject.h"
#include "streamhealth.h"

// Driver of cameras reached through the BGAPI2 camera SDK. Every SDK call
// runs in a guarded block that reports the SDK's failure and returns the
// step's failure value; nothing is thrown to the host or the SDK.
class CCameraBaumer : public ICameraObject {
public:
    CCameraBaumer(tagQZ_CAMERA_OPTION* option, IPoolCallback* callback);
    ~CCameraBaumer() override;

    int IOpenCamera() override;
    void ICloseCamera() override;
    int IStartCamera() override;
    void IStopCamera() override;
    void IReservedA() override {}
    void IReservedB() override {}
    QList<QString> IEnumAvailableCameras() override;
    int ITriggerCamera(int n) override;
    int ISendSoftTrigger() override;
    void ISetProperty(tagQZ_CAMERA_PROPERTY* property) override;

    // Discovery and opening.
    bool openSystem(BGAPI2::System* system);
    bool closeSystem(BGAPI2::System* system);
    BGAPI2::InterfaceList* getSystemInterfaces(BGAPI2::System* system);
    bool openInterface(BGAPI2::Interface* iface);
    bool closeInterface(BGAPI2::Interface* iface);
    BGAPI2::DeviceList* getDevices(BGAPI2::Interface* iface);
    BGAPI2::Device* openDeviceBySerialNumber(BGAPI2::DeviceList* list, const QString& serial);
    bool openDevice(BGAPI2::Device* device);
    bool prepareDevice(BGAPI2::Device* device);
    bool closeDevice(BGAPI2::Device* device);

    // Configuration.
    bool setDeviceProperty(BGAPI2::Device* device);
    int pixelFormatToImageFormat(const QString& pixelFormat, int* bitsPerPixel);

    // Data streams and their buffer pools.
    int setDeviceDataStream(BGAPI2::Device* device);
    int clearDeviceDataStream(BGAPI2::Device* device);
    bool openDataStream(BGAPI2::DataStream* stream);
    bool closeDataStream(BGAPI2::DataStream* stream);
    bool createStreamBuffers(BGAPI2::DataStream* stream, int count);
    bool deleteStreamBuffers(BGAPI2::DataStream* stream);
    bool startDeviceDataStream(BGAPI2::Device* device);
    bool stopDeviceDataStream(BGAPI2::Device* device);

    // Trigger set-ups.
    bool setDeviceOutTrigger(BGAPI2::Device* device);
    bool setDeviceSoftTrigger(BGAPI2::Device* device);
    bool setDeviceAutoTrigger(BGAPI2::Device* device);

    // Frame delivery, on the SDK's delivery thread.
    void BufferReady(BGAPI2::Buffer* buffer);

    // Loss and return of the open camera, on the SDK's device event thread.
    void DeviceStateChanged(BGAPI2::Device* device, BGAPI2::Events::DeviceState state);

    BGAPI2::ImageProcessor* m_pImageProcessor;
    BGAPI2::Device* m_pDevice;

    static BGAPI2::SystemList* s_pSystemList;
    static int s_nSystemListRefs;

    static constexpr int kBuffersPerStream = 8;

private:
    using LifecycleLock = std::unique_lock<std::recursive_mutex>;
    // Host calls and reconnection take turns. Calls from inside the host's
    // frame callback go without: the thread that holds the lock may be
    // waiting for that callback to return.
    LifecycleLock lockLifecycle();
    // Marks a call that gives up the camera: a device event waiting for the
    // lifecycle lock gives way instead, so that unregistering cannot wait on it.
    struct ClosingScope {
        explicit ClosingScope(std::atomic<int>& count) : m_count(count) { ++m_count; }
        ~ClosingScope() { --m_count; }
        std::atomic<int>& m_count;
    };

    void closeCamera();
    bool runModeSetup(int mode);
    bool applyExposure(int value);
    void watchDevice(BGAPI2::Device* device);
    void unwatchDevice();
    void onDeviceLost();
    void onDeviceBack();
    void reviewStreamHealth(BGAPI2::Buffer* buffer, StreamHealth::Clock::duration callbackTime);

    void obtainSystemList();
    void holdSystemList();
    bool dropSystemListHold();
    bool walkDeviceLists(const std::function<bool(BGAPI2::DeviceList*)>& visit);
    bool runTriggerSetup(BGAPI2::Device* device, const char* triggerMode, const char* source,
                         const char* message, const char* qualifiedName,
                         const QMessageLogContext& context);
    void* framePixels(BGAPI2::Buffer* buffer, BGAPI2::Image** source, BGAPI2::Image** converted);
    void reportNoImageProcessor(const BGAPI2::String& format);
    StreamHealth::Clock::duration callHost(BGAPI2::Buffer* buffer, void* pixels);

    void abandonOpening() noexcept;
    bool claimCamera(const QString& serial);
    void releaseClaim();

    // Whether this object counts as one of the holders of s_pSystemList.
    bool m_bHoldsSystemList = false;

    std::recursive_mutex m_lifecycle;
    std::atomic<int> m_nClosing{0};
    BGAPI2::Device* m_pWatched = nullptr;  // has this object's state handler
    bool m_bLost = false;
    QString m_strSerial;
    bool m_bExposureSet = false;  // the host's last exposure, applied again on return
    int m_nExposure = 0;
    StreamHealth m_health;
    std::atomic<bool> m_bNoProcessorReported{false};
    // Frame-limit mode numbers frames from its start.
    std::atomic<bool> m_bCountFrames{false};
    std::atomic<std::uint32_t> m_nFramesSinceStart{0};

    // Serial numbers of the cameras open through driver objects, and which
    // object has each: one camera, one object.
    static std::map<QString, const CCameraBaumer*> s_claims;
};

// The frame a delivery thread is handing to a host right now. Calls the host
// makes from inside its callback note here what the delivery must leave alone
// once the callback returns.
struct FrameInFlight {
    CCameraBaumer* object;
    BGAPI2::Buffer* buffer;
    bool bufferTaken;  // out of its stream: deleted after the callback
    bool objectGone;   // the host deleted the object
    FrameInFlight* outer;
};

// Null outside a delivery.
FrameInFlight* frameInFlight();

// Device state handler registered on the open device; the context is the
// driver object.
void deviceStateCallback(void* context, BGAPI2::Device* device, BGAPI2::Events::DeviceState state);

// New-buffer handler registered on every prepared stream; the context is the
// driver object.
void bufferReadyCallback(void* context, BGAPI2::Buffer* buffer);

// Writes the three critical lines for a caught SDK failure, with the context
// of the method that caught it.
void reportSdkException(BGAPI2::Exceptions::IException& exception, const char* operation,
                        const QMessageLogContext& context);

#define SDK_REPORT_CONTEXT \
    QMessageLogContext(QT_MESSAGELOG_FILE, QT_MESSAGELOG_LINE, QT_MESSAGELOG_FUNC, "default")

#define REPORT_SDK_EXCEPTION(exception, operation) \
    reportSdkException(exception, operation, SDK_REPORT_CONTEXT)
