#include "camerabaumer.h"

#include <QDebug>
#include <QStringList>

#include <climits>
#include <cmath>

#include "hostboundary.h"

using BGAPI2::Exceptions::IException;

BGAPI2::SystemList* CCameraBaumer::s_pSystemList = nullptr;
int CCameraBaumer::s_nSystemListRefs = 0;
std::map<QString, const CCameraBaumer*> CCameraBaumer::s_claims;

namespace {

// One lock for the shared system list and its holder count: hosts create,
// open and delete objects on threads of their own, and reconnection walks the
// list on an SDK thread.
std::recursive_mutex s_listMutex;
using ListLock = std::lock_guard<std::recursive_mutex>;

// Limits of "ExposureTimeAbs" are truncated toward zero and saturate at the
// 32-bit range.
int truncatedLimit(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

// Opening and closing count an object already in that state as done.
template <typename SdkObject>
void openIfClosed(SdkObject* object) {
    if (!object->IsOpen()) {
        object->Open();
    }
}

template <typename SdkObject>
void closeIfOpen(SdkObject* object) {
    if (object->IsOpen()) {
        object->Close();
    }
}

}  // namespace

void reportSdkException(IException& exception, const char* operation,
                        const QMessageLogContext& context) {
    static const char* const kLabels[3] = {
        "ExceptionType:     ", "ErrorDescription:  ", "in function:       "};
    BGAPI2::String (IException::*const accessors[3])() = {
        &IException::GetType, &IException::GetErrorDescription, &IException::GetFunctionName};
    const QByteArray suffix = QByteArray(" - CCameraBaumer::") + operation;
    for (int i = 0; i < 3; ++i) {
        const BGAPI2::String text = (exception.*accessors[i])();
        const QByteArray bytes = QString::fromUtf8(text.get()).toLocal8Bit();
        QMessageLogger(context.file, context.line, context.function).critical()
            << kLabels[i] << bytes.constData() << suffix.constData();
    }
}

CCameraBaumer::CCameraBaumer(tagQZ_CAMERA_OPTION* option, IPoolCallback* callback)
    : ICameraObject(option, callback), m_pImageProcessor(nullptr), m_pDevice(nullptr) {
    try {
        ListLock lock(s_listMutex);
        obtainSystemList();
        if (s_pSystemList != nullptr) {
            holdSystemList();
            s_pSystemList->Refresh();
        }
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "CCameraBaumer");
    } catch (...) {
        reportCurrentException("CCameraBaumer");
    }
    try {
        m_pImageProcessor = BGAPI2::ImageProcessor::GetInstance();
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "CCameraBaumer");
    } catch (...) {
        reportCurrentException("CCameraBaumer");
    }
}

// A camera still open is closed first, so that no frame reaches a destroyed
// object.
// Deleted from inside its own frame callback, the delivery that called the
// host leaves the object alone once the callback returns.
CCameraBaumer::~CCameraBaumer() {
    FrameInFlight* frame = frameInFlight();
    if (frame != nullptr && frame->object == this) {
        frame->objectGone = true;
    }
    try {
        ClosingScope closing(m_nClosing);
        LifecycleLock lock = lockLifecycle();
        if (m_pDevice != nullptr || m_pWatched != nullptr) {
            closeCamera();
        }
    } catch (...) {
        reportCurrentException("~CCameraBaumer");
    }
    try {
        ListLock lock(s_listMutex);
        if (!dropSystemListHold()) {
            return;
        }
        try {
            BGAPI2::SystemList::ReleaseInstance();
        } catch (IException& ex) {
            REPORT_SDK_EXCEPTION(ex, "~CCameraBaumer");
        }
        s_pSystemList = nullptr;
    } catch (...) {
        reportCurrentException("~CCameraBaumer");
    }
}

// Keeps a list other objects hold when the SDK gives none.
void CCameraBaumer::obtainSystemList() {
    BGAPI2::SystemList* list = BGAPI2::SystemList::GetInstance();
    if (list != nullptr || s_nSystemListRefs == 0) {
        s_pSystemList = list;
    }
}

// Counts this object once among the holders, however often it obtains the list.
void CCameraBaumer::holdSystemList() {
    if (!m_bHoldsSystemList && s_pSystemList != nullptr) {
        m_bHoldsSystemList = true;
        ++s_nSystemListRefs;
    }
}

// True when this object was the last holder: the list is to be released.
bool CCameraBaumer::dropSystemListHold() {
    if (!m_bHoldsSystemList) {
        return false;
    }
    m_bHoldsSystemList = false;
    return --s_nSystemListRefs == 0;
}

// ---- discovery and opening ------------------------------------------------

bool CCameraBaumer::walkDeviceLists(const std::function<bool(BGAPI2::DeviceList*)>& visit) {
    ListLock lock(s_listMutex);
    for (auto sys = s_pSystemList->begin(); sys != s_pSystemList->end(); ++sys) {
        BGAPI2::System* system = sys->second;
        if (!openSystem(system)) {
            continue;
        }
        if (BGAPI2::InterfaceList* interfaces = getSystemInterfaces(system)) {
            for (auto ifc = interfaces->begin(); ifc != interfaces->end(); ++ifc) {
                BGAPI2::Interface* iface = ifc->second;
                if (!openInterface(iface)) {
                    continue;
                }
                BGAPI2::DeviceList* devices = getDevices(iface);
                if (devices != nullptr && visit(devices)) {
                    return true;
                }
                closeInterface(iface);
            }
        }
        closeSystem(system);
    }
    return false;
}

QList<QString> CCameraBaumer::IEnumAvailableCameras() try {
    QList<QString> names;
    ListLock lock(s_listMutex);
    try {
        if (s_pSystemList == nullptr) {
            // A list obtained here has never been refreshed: it would list nothing.
            obtainSystemList();
            if (s_pSystemList == nullptr) {
                return names;
            }
            holdSystemList();
            s_pSystemList->Refresh();
        }
        walkDeviceLists([&names](BGAPI2::DeviceList* devices) {
            for (auto dev = devices->begin(); dev != devices->end(); ++dev) {
                const QString serial = QString::fromUtf8(dev->second->GetSerialNumber().get());
                names.append(QString("%1 %2").arg(QStringLiteral("baumer"), serial));
            }
            return false;
        });
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "IEnumAvailableCameras");
    }
    return names;
} catch (...) {
    reportCurrentException("IEnumAvailableCameras");
    return QList<QString>();
}

bool CCameraBaumer::openSystem(BGAPI2::System* system) {
    try {
        openIfClosed(system);
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "openSystem");
    }
    return false;
}

bool CCameraBaumer::closeSystem(BGAPI2::System* system) {
    (void)system;
    return false;
}

BGAPI2::InterfaceList* CCameraBaumer::getSystemInterfaces(BGAPI2::System* system) {
    try {
        BGAPI2::InterfaceList* interfaces = system->GetInterfaces();
        if (interfaces != nullptr) {
            interfaces->Refresh(100);
        }
        return interfaces;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "getSystemInterfaces");
    }
    return nullptr;
}

bool CCameraBaumer::openInterface(BGAPI2::Interface* iface) {
    try {
        openIfClosed(iface);
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "openInterface");
    }
    return false;
}

bool CCameraBaumer::closeInterface(BGAPI2::Interface* iface) {
    (void)iface;
    return false;
}

BGAPI2::DeviceList* CCameraBaumer::getDevices(BGAPI2::Interface* iface) {
    try {
        BGAPI2::DeviceList* devices = iface->GetDevices();
        if (devices != nullptr) {
            devices->Refresh(100);
        }
        return devices;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "getDevices");
    }
    return nullptr;
}

BGAPI2::Device* CCameraBaumer::openDeviceBySerialNumber(BGAPI2::DeviceList* list,
                                                        const QString& serial) {
    try {
        for (auto dev = list->begin(); dev != list->end(); ++dev) {
            BGAPI2::Device* device = dev->second;
            if (QString::fromUtf8(device->GetSerialNumber().get()) != serial) {
                continue;
            }
            if (!openDevice(device)) {
                continue;
            }
            if (prepareDevice(device)) {
                return (*list)[dev->first];
            }
        }
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "openDeviceBySerialNumber");
    }
    return nullptr;
}

// Pixel format and streams of a device just opened; false leaves it closed,
// and so does anything thrown past the steps' own reports.
bool CCameraBaumer::prepareDevice(BGAPI2::Device* device) {
    try {
        if (!setDeviceProperty(device)) {
            closeDevice(device);
            return false;
        }
        if (setDeviceDataStream(device) == 0) {
            clearDeviceDataStream(device);  // buffers added before the failure
            closeDevice(device);
            return false;
        }
        return true;
    } catch (...) {
        clearDeviceDataStream(device);
        closeDevice(device);
        throw;
    }
}

bool CCameraBaumer::openDevice(BGAPI2::Device* device) {
    try {
        openIfClosed(device);
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "openDevice");
    }
    return false;
}

bool CCameraBaumer::closeDevice(BGAPI2::Device* device) {
    try {
        closeIfOpen(device);
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "closeDevice");
    }
    return false;
}

// ---- configuration ----------------------------------------------------------

bool CCameraBaumer::setDeviceProperty(BGAPI2::Device* device) {
    try {
        const QString name =
            QString::fromUtf8(device->GetRemoteNode("PixelFormat")->GetString().get());
        m_nImageFormat = pixelFormatToImageFormat(name, &m_nBitsPerPixel);
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "setDeviceProperty");
    }
    return false;
}

int CCameraBaumer::pixelFormatToImageFormat(const QString& pixelFormat, int* bitsPerPixel) {
    struct Entry {
        const char* name;
        int format;
        int bits;
    };
    static const Entry kTable[] = {
        {"YUV422Packed", GRAY8, 8}, {"Mono8", GRAY8, 8},
        {"BayerRG12", GRAY8, 12},   {"YUV444Packed", GRAY8, 12},
        {"BayerRG8", RGB24, 24},    {"RGB8Packed", RGB24, 24},
        {"BGR8Packed", RGB24, 24},  {"BayerRGB8Packed", RGB24, 24},
        {"YUV411Packed", GRAY8, 6},
    };
    for (const Entry& entry : kTable) {
        if (pixelFormat == QLatin1String(entry.name)) {
            *bitsPerPixel = entry.bits;
            return entry.format;
        }
    }
    *bitsPerPixel = 0;
    return None;
}

void CCameraBaumer::ISetProperty(tagQZ_CAMERA_PROPERTY* property) try {
    if (property == nullptr || property->nType != PROPERTY_EXPOSURE_TIME) {
        return;
    }
    LifecycleLock lock = lockLifecycle();
    const int value = property->nValue;
    if (m_pDevice == nullptr) {
        if (m_bLost) {
            m_bExposureSet = true;  // applied when the camera is back
            m_nExposure = value;
        }
        return;
    }
    if (applyExposure(value)) {
        m_bExposureSet = true;
        m_nExposure = value;
    }
} catch (...) {
    reportCurrentException("ISetProperty");
}

// True when the camera took the value.
bool CCameraBaumer::applyExposure(int value) {
    try {
        if (m_pDevice->GetRemoteNodeList()->GetNodePresent("ExposureTime")) {
            m_pDevice->GetRemoteNode("ExposureTime")->SetDouble(static_cast<double>(value));
            return true;
        }
        if (!m_pDevice->GetRemoteNodeList()->GetNodePresent("ExposureTimeAbs")) {
            return false;
        }
        const int minimum =
            truncatedLimit(m_pDevice->GetRemoteNode("ExposureTimeAbs")->GetDoubleMin());
        const int maximum =
            truncatedLimit(m_pDevice->GetRemoteNode("ExposureTimeAbs")->GetDoubleMax());
        if (value < minimum || value > maximum) {
            qWarning() << QString("Invalid exposure time value:%1.").arg(value) << " - "
                       << "CCameraBaumer::ISetProperty";
            return false;
        }
        m_pDevice->GetRemoteNode("ExposureTimeAbs")->SetDouble(static_cast<double>(value));
        qDebug() << QString("Set exposure time value:%1 successfully.").arg(value) << " - "
                 << "CCameraBaumer::ISetProperty";
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "ISetProperty");
    }
    return false;
}

// ---- data streams -------------------------------------------------------------

int CCameraBaumer::setDeviceDataStream(BGAPI2::Device* device) {
    int count = 0;
    try {
        BGAPI2::DataStreamList* streams = device->GetDataStreams();
        streams->Refresh();
        for (auto it = streams->begin(); it != streams->end(); ++it) {
            BGAPI2::DataStream* stream = it->second;
            if (!openDataStream(stream)) {
                continue;
            }
            if (!createStreamBuffers(stream, kBuffersPerStream)) {
                closeDataStream(stream);
                continue;
            }
            // Counted once the handler is on: a stream without it delivers nothing.
            stream->RegisterNewBufferEventHandler(this, bufferReadyCallback);
            ++count;
        }
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "setDeviceDataStream");
    }
    return count;
}

int CCameraBaumer::clearDeviceDataStream(BGAPI2::Device* device) {
    int count = 0;
    try {
        BGAPI2::DataStreamList* streams = device->GetDataStreams();
        streams->Refresh();
        for (auto it = streams->begin(); it != streams->end(); ++it) {
            if (!closeDataStream(it->second)) {
                continue;
            }
            deleteStreamBuffers(it->second);
            ++count;
        }
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "clearDeviceDataStream");
    }
    return count;
}

bool CCameraBaumer::openDataStream(BGAPI2::DataStream* stream) {
    try {
        openIfClosed(stream);
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "openDataStream");
    }
    return false;
}

bool CCameraBaumer::closeDataStream(BGAPI2::DataStream* stream) {
    try {
        closeIfOpen(stream);
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "closeDataStream");
    }
    return false;
}

bool CCameraBaumer::createStreamBuffers(BGAPI2::DataStream* stream, int count) {
    try {
        BGAPI2::BufferList* buffers = stream->GetBufferList();
        for (int i = 0; i < count; ++i) {
            auto* buffer = new BGAPI2::Buffer();
            try {
                buffers->Add(buffer);
            } catch (IException&) {
                delete buffer;  // never reached the list: nothing else would free it
                throw;
            }
            buffer->QueueBuffer();
        }
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "createStreamBuffers");
    }
    return false;
}

bool CCameraBaumer::deleteStreamBuffers(BGAPI2::DataStream* stream) {
    try {
        BGAPI2::BufferList* buffers = stream->GetBufferList();
        if (buffers == nullptr) {
            return false;
        }
        FrameInFlight* frame = frameInFlight();
        while (buffers->size() > 0) {
            BGAPI2::Buffer* buffer = buffers->begin()->second;
            buffers->Remove(buffer);
            if (frame != nullptr && frame->buffer == buffer) {
                frame->bufferTaken = true;  // the host holds it: deleted after its callback
            } else {
                delete buffer;
            }
        }
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "deleteStreamBuffers");
    }
    return false;
}

bool CCameraBaumer::startDeviceDataStream(BGAPI2::Device* device) {
    try {
        BGAPI2::DataStreamList* streams = device->GetDataStreams();
        streams->Refresh();
        for (auto it = streams->begin(); it != streams->end(); ++it) {
            if (!openDataStream(it->second)) {
                continue;
            }
            if (!it->second->GetIsGrabbing()) {
                it->second->StartAcquisitionContinuous();
            }
        }
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "startDeviceDataStream");
    }
    return false;
}

bool CCameraBaumer::stopDeviceDataStream(BGAPI2::Device* device) {
    try {
        BGAPI2::DataStreamList* streams = device->GetDataStreams();
        streams->Refresh();
        for (auto it = streams->begin(); it != streams->end(); ++it) {
            if (!openDataStream(it->second)) {
                continue;
            }
            if (it->second->GetIsGrabbing()) {
                it->second->StopAcquisition();
            }
        }
        return true;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "stopDeviceDataStream");
    }
    return false;
}

// ---- trigger modes --------------------------------------------------------------

// The set-up shared by the three trigger steps; SDK failures reach the step.
// A null source selects software triggering.
bool CCameraBaumer::runTriggerSetup(BGAPI2::Device* device, const char* triggerMode,
                                    const char* source, const char* message,
                                    const char* qualifiedName, const QMessageLogContext& context) {
    if (device->GetRemoteNodeList()->GetNodePresent("AcquisitionAbort")) {
        device->GetRemoteNode("AcquisitionAbort")->Execute();
    }
    device->GetRemoteNode("AcquisitionStop")->Execute();
    device->GetRemoteNode("TriggerMode")->SetString(triggerMode);
    if (source == nullptr) {
        BGAPI2::NodeMap* entries = device->GetRemoteNode("TriggerSource")->GetEnumNodeList();
        source = entries->GetNodePresent("SoftwareTrigger") ? "SoftwareTrigger" : "Software";
    }
    device->GetRemoteNode("TriggerSource")->SetString(source);
    if (!startDeviceDataStream(device)) {
        return false;
    }
    device->GetRemoteNode("AcquisitionStart")->Execute();
    QMessageLogger(context.file, context.line, context.function).debug()
        << message << " - " << qualifiedName;
    return true;
}

bool CCameraBaumer::setDeviceOutTrigger(BGAPI2::Device* device) {
    try {
        return runTriggerSetup(device, "On", "Line0", "Set out trigger successful.",
                               "CCameraBaumer::setDeviceOutTrigger", SDK_REPORT_CONTEXT);
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "setDeviceOutTrigger");
    }
    return false;
}

bool CCameraBaumer::setDeviceSoftTrigger(BGAPI2::Device* device) {
    try {
        return runTriggerSetup(device, "On", nullptr, "Set soft trigger successful.",
                               "CCameraBaumer::setDeviceSoftTrigger", SDK_REPORT_CONTEXT);
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "setDeviceSoftTrigger");
    }
    return false;
}

bool CCameraBaumer::setDeviceAutoTrigger(BGAPI2::Device* device) {
    try {
        return runTriggerSetup(device, "Off", "Line0", "Set auto trigger successful.",
                               "CCameraBaumer::setDeviceAutoTrigger", SDK_REPORT_CONTEXT);
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "setDeviceAutoTrigger");
    }
    return false;
}

int CCameraBaumer::ISendSoftTrigger() try {
    LifecycleLock lock = lockLifecycle();
    if (m_pDevice == nullptr) {
        return 0;
    }
    try {
        m_pDevice->GetRemoteNode("TriggerSoftware")->Execute();
        return 1;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "ISendSoftTrigger");
    }
    return 0;
} catch (...) {
    reportCurrentException("ISendSoftTrigger");
    return 0;
}

int CCameraBaumer::ITriggerCamera(int n) try {
    LifecycleLock lock = lockLifecycle();
    if (ICameraObject::ITriggerCamera(n) == 0 || m_pDevice == nullptr) {
        return 0;
    }
    if (!setDeviceSoftTrigger(m_pDevice)) {
        return 0;
    }
    if (m_nCurMode == MODE_EXTERNAL_TRIGGER) {
        ISendSoftTrigger();
    }
    return 1;
} catch (...) {
    reportCurrentException("ITriggerCamera");
    return 0;
}

// ---- lifecycle ---------------------------------------------------------------------

// A failure part-way leaves nothing open.
int CCameraBaumer::IOpenCamera() try {
    qWarning() << "start open baumer camera...";
    ClosingScope closing(m_nClosing);
    LifecycleLock lock = lockLifecycle();
    if (m_pDevice != nullptr || m_pWatched != nullptr) {
        closeCamera();  // a device left open would stay bound to this object
    }
    ListLock listLock(s_listMutex);
    if (s_pSystemList == nullptr) {
        return 0;
    }
    const QStringList parts =
        m_pOption->strCameraName.split(QChar(' '), Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (parts.size() < 2 || parts.at(0).toLower() != QLatin1String("baumer")) {
        return 0;
    }
    const QString serial = parts.at(1);
    if (!claimCamera(serial)) {
        return 0;
    }
    holdSystemList();
    const bool found = walkDeviceLists([this, &serial](BGAPI2::DeviceList* devices) {
        m_pDevice = openDeviceBySerialNumber(devices, serial);
        return m_pDevice != nullptr;
    });
    if (!found) {
        releaseClaim();
        return 0;
    }
    m_bOpened = true;
    m_bExposureSet = false;
    m_bNoProcessorReported = false;
    m_health.reset();
    watchDevice(m_pDevice);
    qDebug() << "Baumer camera(" << serial << ") open successed."
             << " - "
             << "CCameraBaumer::IOpenCamera";
    return 1;
} catch (...) {
    reportCurrentException("IOpenCamera");
    abandonOpening();
    return 0;
}

void CCameraBaumer::abandonOpening() noexcept {
    try {
        ClosingScope closing(m_nClosing);
        LifecycleLock lock = lockLifecycle();
        closeCamera();
    } catch (...) {
        reportCurrentException("IOpenCamera");
    }
}

// A camera streams to one object: a second one would take over its frames and
// delete the first one's buffers on closing. Called with the list lock held.
bool CCameraBaumer::claimCamera(const QString& serial) {
    const auto it = s_claims.find(serial);
    if (it != s_claims.end() && it->second != this) {
        qCritical() << QString("Baumer camera(%1) is in use by another object.").arg(serial)
                    << " - "
                    << "CCameraBaumer::IOpenCamera";
        return false;
    }
    s_claims[serial] = this;
    m_strSerial = serial;
    return true;
}

void CCameraBaumer::releaseClaim() {
    ListLock listLock(s_listMutex);
    const auto it = s_claims.find(m_strSerial);
    if (it != s_claims.end() && it->second == this) {
        s_claims.erase(it);
    }
}

void CCameraBaumer::ICloseCamera() try {
    ClosingScope closing(m_nClosing);
    LifecycleLock lock = lockLifecycle();
    closeCamera();
} catch (...) {
    reportCurrentException("ICloseCamera");
}

// From inside the host's frame callback the buffer in flight is taken out of
// its stream but deleted only once the callback has returned.
void CCameraBaumer::closeCamera() {
    unwatchDevice();
    if (m_pDevice != nullptr) {
        clearDeviceDataStream(m_pDevice);
        closeDevice(m_pDevice);
        m_pDevice = nullptr;
    }
    releaseClaim();
    m_bLost = false;
    m_bOpened = false;
}

int CCameraBaumer::IStartCamera() try {
    qDebug() << "CCameraBaumer::IStartCamera";
    LifecycleLock lock = lockLifecycle();
    if (!m_bOpened || m_pDevice == nullptr) {
        return 0;
    }
    if (m_nReqMode != m_nCurMode) {
        // Before frames flow: the delivery thread writes these too.
        m_bCountFrames = m_nReqMode == MODE_FRAME_LIMIT;
        if (m_bCountFrames) {
            m_nFramesSinceStart = 0;
            m_nFrameId = 0;
        }
        const bool result = runModeSetup(m_nReqMode);
        m_nCurMode = m_nReqMode;
        m_bGrabbing = result;
    }
    ++m_nStartCount;
    return 1;
} catch (...) {
    reportCurrentException("IStartCamera");
    return 0;
}

bool CCameraBaumer::runModeSetup(int mode) {
    switch (mode) {
        case MODE_EXTERNAL_TRIGGER:
            return setDeviceOutTrigger(m_pDevice);
        case MODE_CONTINUOUS:
        case MODE_FRAME_LIMIT:
            return setDeviceAutoTrigger(m_pDevice);
        case MODE_SOFT_TRIGGER:
            return setDeviceSoftTrigger(m_pDevice);
        default:
            return stopDeviceDataStream(m_pDevice);
    }
}

void CCameraBaumer::IStopCamera() try {
    LifecycleLock lock = lockLifecycle();
    if (m_pDevice != nullptr) {
        stopDeviceDataStream(m_pDevice);
    }
    m_bGrabbing = false;
} catch (...) {
    reportCurrentException("IStopCamera");
}

// Calls from inside this object's own frame callback go without the lock.
CCameraBaumer::LifecycleLock CCameraBaumer::lockLifecycle() {
    const FrameInFlight* frame = frameInFlight();
    if (frame != nullptr && frame->object == this) {
        return LifecycleLock();
    }
    return LifecycleLock(m_lifecycle);
}
