#pragma once

#include <QList>
#include <QMessageLogContext>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "cameranames.h"
#include "cameraobject.h"
#include "hostboundary.h"
#include "lifecycleturn.h"
#include "streamhealth.h"
#include "threadsafety.h"

// Driver of cameras reached through the BGAPI2 camera SDK. Every SDK call
// runs in a guarded block that reports the SDK's failure and returns the
// step's failure value; nothing is thrown to the host or the SDK.
//
// Threads (docs/threading.md has the whole contract):
// - Host calls come on any host thread, also from inside OnFrameReady.
//   Frames arrive on each stream's delivery thread; loss and return of the
//   camera on the device's event thread.
// - One thread at a time holds the object's lifecycle turn (m_turn) and
//   opens, starts, stops, closes, reconnects or deletes. A host thread waits
//   for the turn. Inside this object's frame callback a call never waits for
//   it, since the holder may be waiting for that very callback: stop, close
//   and Camera_Delete take effect at once for the host (no frame after they
//   return) and are finished by the holder; open, a mode change and
//   ITriggerCamera are refused with 0 and one warning line.
// - Lock order: m_turn, then s_listMutex, then m_deviceMutex, then
//   m_stateMutex. Only the turn is held across waits for a delivery thread;
//   the others are held for one SDK call or a few fields.
// - ISendSoftTrigger and ISetProperty take only the device lock: they work
//   from inside the callback while another thread holds the turn.
class CCameraBaumer : public ICameraObject {
public:
    CCameraBaumer(tagQZ_CAMERA_OPTION* option, IPoolCallback* callback);
    ~CCameraBaumer() override;

    // Host calls: any thread.
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

    // Camera_Delete: deletes now, or, from inside the frame callback while
    // another thread holds the turn, leaves the deletion to that thread.
    void destroy();

    // Discovery and opening. Callers hold s_listMutex while walking lists.
    bool openSystem(BGAPI2::System* system);
    BGAPI2::InterfaceList* getSystemInterfaces(BGAPI2::System* system);
    bool openInterface(BGAPI2::Interface* iface);
    BGAPI2::DeviceList* getDevices(BGAPI2::Interface* iface);
    BGAPI2::Device* openDeviceBySerialNumber(BGAPI2::DeviceList* list, const QString& serial);
    bool openDevice(BGAPI2::Device* device);
    bool prepareDevice(BGAPI2::Device* device);
    bool closeDevice(BGAPI2::Device* device);

    // Configuration.
    bool setDeviceProperty(BGAPI2::Device* device);
    int pixelFormatToImageFormat(const QString& pixelFormat, int* bitsPerPixel);

    // Data streams and their buffer pools; the caller holds the turn (or has
    // the device to itself while opening it).
    int setDeviceDataStream(BGAPI2::Device* device);
    int clearDeviceDataStream(BGAPI2::Device* device);
    bool openDataStream(BGAPI2::DataStream* stream);
    bool closeDataStream(BGAPI2::DataStream* stream);
    bool createStreamBuffers(BGAPI2::DataStream* stream, int count);
    bool deleteStreamBuffers(BGAPI2::DataStream* stream);
    bool startDeviceDataStream(BGAPI2::Device* device);
    void noteStreamStart(BGAPI2::DataStream* stream);
    bool stopDeviceDataStream(BGAPI2::Device* device);

    // Trigger set-ups; the caller holds the turn.
    bool setDeviceOutTrigger(BGAPI2::Device* device);
    bool setDeviceSoftTrigger(BGAPI2::Device* device);
    bool setDeviceAutoTrigger(BGAPI2::Device* device);

    // Frame delivery, on the SDK's delivery thread.
    void BufferReady(BGAPI2::Buffer* buffer);

    // Loss and return of the open camera, on the SDK's device event thread.
    void DeviceStateChanged(BGAPI2::Device* device, BGAPI2::Events::DeviceState state);

    DriverState state();

    BGAPI2::ImageProcessor* m_pImageProcessor;  // set once by the constructor
    // Written only by the turn's holder, under the device lock.
    BGAPI2::Device* m_pDevice GUARDED_BY(m_deviceMutex);

    // The process-wide lock: the shared system list, its holder count and
    // the claims. Never held across a device open or a stream operation.
    static Mutex s_listMutex;
    static BGAPI2::SystemList* s_pSystemList GUARDED_BY(s_listMutex);
    static int s_nSystemListRefs GUARDED_BY(s_listMutex);

    static constexpr int kBuffersPerStream = 8;

private:
    // What a call from inside the frame callback leaves to the turn's holder.
    struct LeftRequests {
        bool stop = false;
        bool close = false;
        bool destroy = false;
        std::uint64_t stopEpoch = 0;   // the opening the stop was meant for
        std::uint64_t stopStarts = 0;  // and the mode set-ups done by then
        std::uint64_t closeEpoch = 0;
        bool any() const { return stop || close || destroy; }
    };
    enum class Leave { Nothing, Stop, Close };

    // ---- the turn (camerabaumer_lifecycle.cpp)
    bool inOwnDelivery() const;
    void markGoneInFlight() const;
    bool enterTurn(Leave leave) TRY_ACQUIRE(true, m_turn) EXCLUDES(m_stateMutex);
    void leaveRequest(Leave leave) REQUIRES(m_stateMutex);
    void giveTurn() RELEASE(m_turn) EXCLUDES(m_stateMutex);
    void runLeftRequests(const LeftRequests& left) REQUIRES(m_turn);
    // Runs a step with the turn the caller took, and gives the turn up after,
    // also when the step throws.
    template <typename... Args>
    int withTurnTaken(int (CCameraBaumer::*step)(Args...), Args... args) RELEASE(m_turn) {
        int result = 0;
        try {
            result = (this->*step)(args...);
        } catch (...) {
            giveTurn();
            throw;
        }
        giveTurn();
        return result;
    }
    void refuseInCallback(const char* operation);
    void settle(DriverState next) REQUIRES(m_stateMutex);
    void markStopped() REQUIRES(m_stateMutex);
    bool givingUp() const REQUIRES(m_stateMutex);

    // ---- host calls with the turn held (camerabaumer_hostcalls.cpp)
    int openHeld() REQUIRES(m_turn);
    int startHeld() REQUIRES(m_turn);
    int stopHeld() REQUIRES(m_turn);
    int closeHeld() REQUIRES(m_turn);
    int triggerHeld() REQUIRES(m_turn);
    int startWithoutSwitch() EXCLUDES(m_stateMutex);
    void closeCamera() REQUIRES(m_turn);
    bool runModeSetup(BGAPI2::Device* device, int mode) REQUIRES(m_turn);
    BGAPI2::Device* currentDevice() EXCLUDES(m_deviceMutex);
    BGAPI2::Device* usableDevice() EXCLUDES(m_deviceMutex, m_stateMutex);
    BGAPI2::Device* takeDevice() REQUIRES(m_turn) EXCLUDES(m_deviceMutex);

    // ---- discovery and claims (camerabaumer_discovery.cpp)
    void obtainSystemList() REQUIRES(s_listMutex);
    void holdSystemList() REQUIRES(s_listMutex);
    bool dropSystemListHold() REQUIRES(s_listMutex);
    bool walkDeviceLists(const std::function<bool(BGAPI2::DeviceList*)>& visit)
        REQUIRES(s_listMutex);
    std::vector<BGAPI2::Device*> devicesWithSerial(BGAPI2::DeviceList* list, const QString& serial);
    BGAPI2::Device* findAndOpen(const QString& serial) EXCLUDES(s_listMutex);
    BGAPI2::Device* openFirst(const std::vector<BGAPI2::Device*>& candidates);
    bool claimCamera(const QString& serial) REQUIRES(s_listMutex);
    void releaseClaim() EXCLUDES(s_listMutex);
    QString serial() EXCLUDES(m_stateMutex);

    // ---- configuration (camerabaumer_configuration.cpp)
    bool applyExposure(BGAPI2::Device* device, int value) REQUIRES(m_deviceMutex);

    // ---- triggers (camerabaumer_triggers.cpp)
    bool runTriggerSetup(BGAPI2::Device* device, const char* triggerMode, const char* source,
                         const char* message, const char* qualifiedName,
                         const QMessageLogContext& context);
    void setTriggerFeatures(BGAPI2::Device* device, const char* triggerMode, const char* source)
        REQUIRES(m_deviceMutex);

    // ---- device state (camerabaumer_devicestate.cpp)
    void watchDevice(BGAPI2::Device* device) REQUIRES(m_turn);
    void unwatchDevice() REQUIRES(m_turn);
    bool takeTurnForEvent() TRY_ACQUIRE(true, m_turn) EXCLUDES(m_stateMutex);
    int onDeviceEvent(BGAPI2::Device* device, BGAPI2::Events::DeviceState state) REQUIRES(m_turn);
    void onDeviceLost() REQUIRES(m_turn);
    void onDeviceBack() REQUIRES(m_turn);

    // ---- delivery (camerabaumer_delivery.cpp)
    void* framePixels(BGAPI2::Buffer* buffer, BGAPI2::Image** source, BGAPI2::Image** converted);
    void* passThroughPixels(BGAPI2::Buffer* buffer, const BGAPI2::String& format);
    void reportNoImageProcessor(const BGAPI2::String& format);
    bool callHost(BGAPI2::Buffer* buffer, void* pixels, StreamHealth::Clock::duration* spent)
        EXCLUDES(m_stateMutex);
    void reviewStreamHealth(BGAPI2::Buffer* buffer, StreamHealth::Clock::duration callbackTime);

    // Lock order: the turn, the list lock, the device lock, the state lock.
    // The state lock is innermost: held for a few fields, never across an
    // SDK or host call.
    Mutex m_stateMutex;
    Mutex m_deviceMutex ACQUIRED_AFTER(s_listMutex) ACQUIRED_BEFORE(m_stateMutex);
    LifecycleTurn m_turn ACQUIRED_BEFORE(s_listMutex);

    DriverState m_state GUARDED_BY(m_stateMutex) = DriverState::Closed;
    bool m_bDestroying GUARDED_BY(m_stateMutex) = false;
    LeftRequests m_left GUARDED_BY(m_stateMutex);
    std::uint64_t m_nEpoch GUARDED_BY(m_stateMutex) = 0;   // openings so far
    std::uint64_t m_nSetups GUARDED_BY(m_stateMutex) = 0;  // mode set-ups so far
    QString m_strSerial GUARDED_BY(m_stateMutex);
    // Frame-limit mode numbers frames from its start.
    bool m_bCountFrames GUARDED_BY(m_stateMutex) = false;
    std::uint32_t m_nFramesSinceStart GUARDED_BY(m_stateMutex) = 0;
    // Acquiring when the camera was lost: only then does its return restart it.
    bool m_bGrabbingWhenLost GUARDED_BY(m_stateMutex) = false;

    BGAPI2::Device* m_pWatched GUARDED_BY(m_turn) = nullptr;  // has our state handler
    // The host's last exposure, applied again when the camera is back.
    bool m_bExposureSet GUARDED_BY(m_deviceMutex) = false;
    int m_nExposure GUARDED_BY(m_deviceMutex) = 0;

    // Whether this object counts as one of the holders of s_pSystemList.
    bool m_bHoldsSystemList GUARDED_BY(s_listMutex) = false;

    StreamHealth m_health;
    std::atomic<bool> m_bNoProcessorReported{false};

    // Serial numbers of the cameras open through driver objects, and which
    // object has each: one camera, one object.
    static std::map<QString, const CCameraBaumer*> s_claims GUARDED_BY(s_listMutex);
};

// The frame a delivery thread is handing to a host right now. Calls the host
// makes from inside its callback note here what the delivery must leave alone
// once the callback returns.
struct FrameInFlight {
    CCameraBaumer* object;
    BGAPI2::Buffer* buffer;
    bool bufferTaken;  // out of its stream: deleted after the callback
    bool objectGone;   // the host deleted the object, or left its deletion
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
