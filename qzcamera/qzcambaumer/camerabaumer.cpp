#include "camerabaumer.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QStringList>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <thread>

using BGAPI2::Exceptions::IException;

BGAPI2::SystemList* CCameraBaumer::s_pSystemList = nullptr;
int CCameraBaumer::s_nSystemListRefs = 0;

namespace {

// Delivery threads of the SDK nest BufferReady calls of one object at most.
thread_local int t_deliveryDepth = 0;

struct DeliveryScope {
    DeliveryScope() { ++t_deliveryDepth; }
    ~DeliveryScope() { --t_deliveryDepth; }
};

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

bool startsWith4(const BGAPI2::String& name, const char* prefix) {
    return std::strncmp(name.get(), prefix, 4) == 0;
}

// Frames the host takes as they lie in the buffer; all others become BGR8.
bool isPassThrough(BGAPI2::Buffer* buffer) {
    return buffer->GetPixelFormat() == "Mono8" || startsWith4(buffer->GetPixelFormat(), "Mono") ||
           startsWith4(buffer->GetPixelFormat(), "RGB8");
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
    }
    try {
        m_pImageProcessor = BGAPI2::ImageProcessor::GetInstance();
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "CCameraBaumer");
    }
}

// A camera still open is closed first, so that no frame reaches a destroyed
// object.
CCameraBaumer::~CCameraBaumer() {
    {
        ClosingScope closing(m_nClosing);
        LifecycleLock lock = lockLifecycle();
        if (m_pDevice != nullptr || m_pWatched != nullptr) {
            closeCamera();
        }
    }
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

QList<QString> CCameraBaumer::IEnumAvailableCameras() {
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
            if (!setDeviceProperty(device)) {
                closeDevice(device);
                continue;
            }
            if (setDeviceDataStream(device) == 0) {
                clearDeviceDataStream(device);  // buffers added before the failure
                closeDevice(device);
                continue;
            }
            return (*list)[dev->first];
        }
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "openDeviceBySerialNumber");
    }
    return nullptr;
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

void CCameraBaumer::ISetProperty(tagQZ_CAMERA_PROPERTY* property) {
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
        while (buffers->size() > 0) {
            BGAPI2::Buffer* buffer = buffers->begin()->second;
            buffers->Remove(buffer);
            delete buffer;
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
                                    const char* qualifiedName) {
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
    qDebug() << message << " - " << qualifiedName;
    return true;
}

bool CCameraBaumer::setDeviceOutTrigger(BGAPI2::Device* device) {
    try {
        return runTriggerSetup(device, "On", "Line0", "Set out trigger successful.",
                               "CCameraBaumer::setDeviceOutTrigger");
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "setDeviceOutTrigger");
    }
    return false;
}

bool CCameraBaumer::setDeviceSoftTrigger(BGAPI2::Device* device) {
    try {
        return runTriggerSetup(device, "On", nullptr, "Set soft trigger successful.",
                               "CCameraBaumer::setDeviceSoftTrigger");
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "setDeviceSoftTrigger");
    }
    return false;
}

bool CCameraBaumer::setDeviceAutoTrigger(BGAPI2::Device* device) {
    try {
        return runTriggerSetup(device, "Off", "Line0", "Set auto trigger successful.",
                               "CCameraBaumer::setDeviceAutoTrigger");
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "setDeviceAutoTrigger");
    }
    return false;
}

int CCameraBaumer::ISendSoftTrigger() {
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
}

int CCameraBaumer::ITriggerCamera(int n) {
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
}

// ---- frame delivery ---------------------------------------------------------------

void bufferReadyCallback(void* context, BGAPI2::Buffer* buffer) {
    DeliveryScope scope;
    static_cast<CCameraBaumer*>(context)->BufferReady(buffer);
}

void CCameraBaumer::deliverFrame(BGAPI2::Buffer* buffer, void* pixels) {
    m_pImageData = static_cast<unsigned char*>(pixels);
    m_nWidth = static_cast<int>(buffer->GetWidth());
    m_nHeight = static_cast<int>(buffer->GetHeight());
    m_nFrameStatus = 0;
    m_nFrameId = static_cast<std::uint32_t>(buffer->GetFrameID());
    const auto before = StreamHealth::Clock::now();
    m_pCallback->OnFrameReady(this);
    reviewStreamHealth(buffer, StreamHealth::Clock::now() - before);
}

// At most once a second: a warning when the stream lost frames since.
void CCameraBaumer::reviewStreamHealth(BGAPI2::Buffer* buffer,
                                       StreamHealth::Clock::duration callbackTime) {
    const auto now = StreamHealth::Clock::now();
    if (!m_health.frameDone(callbackTime, now)) {
        return;
    }
    try {
        BGAPI2::DataStream* stream = buffer->GetParent();
        if (stream == nullptr) {
            return;
        }
        const QString warning = m_health.review(stream, stream->GetStatistics(), now);
        if (!warning.isEmpty()) {
            qWarning() << QString("Baumer camera(%1) stream:").arg(m_strSerial) << warning << " - "
                       << "CCameraBaumer::BufferReady";
        }
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "BufferReady");
    }
}

void CCameraBaumer::BufferReady(BGAPI2::Buffer* buffer) {
    // The check only skips building a line the logging rules would drop.
    if (QLoggingCategory::defaultCategory()->isDebugEnabled()) {
        qDebug() << "CCameraBaumer::BufferReady";
    }
    BGAPI2::Image* source = nullptr;
    BGAPI2::Image* converted = nullptr;
    bool queueTried = false;
    try {
        if (isPassThrough(buffer)) {
            deliverFrame(buffer, buffer->GetMemPtr());
        } else {
            const BGAPI2::bo_uint64 size = buffer->GetMemSize();
            void* memory = buffer->GetMemPtr();
            const BGAPI2::String format = buffer->GetPixelFormat();
            const auto height = static_cast<BGAPI2::bo_uint>(buffer->GetHeight());
            const auto width = static_cast<BGAPI2::bo_uint>(buffer->GetWidth());
            source = m_pImageProcessor->CreateImage(width, height, format, memory, size);
            source->TransformImage("BGR8", &converted);
            deliverFrame(buffer, converted->GetBuffer());
            source->Release();
            source = nullptr;
            converted->Release();
            converted = nullptr;
        }
        queueTried = true;
        buffer->QueueBuffer();
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "BufferReady");
        recoverBuffer(buffer, source, converted, queueTried);
    }
}

// After a failed frame: release what was made and give the buffer back to the
// stream, so that the pool does not shrink.
void CCameraBaumer::recoverBuffer(BGAPI2::Buffer* buffer, BGAPI2::Image* source,
                                  BGAPI2::Image* converted, bool queueTried) {
    for (BGAPI2::Image* image : {source, converted}) {
        if (image == nullptr) {
            continue;
        }
        try {
            image->Release();
        } catch (IException& ex) {
            REPORT_SDK_EXCEPTION(ex, "BufferReady");
        }
    }
    if (queueTried) {
        return;
    }
    try {
        buffer->QueueBuffer();
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "BufferReady");
    }
}

// ---- lifecycle ---------------------------------------------------------------------

int CCameraBaumer::IOpenCamera() {
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
    holdSystemList();
    const bool found = walkDeviceLists([this, &serial](BGAPI2::DeviceList* devices) {
        m_pDevice = openDeviceBySerialNumber(devices, serial);
        return m_pDevice != nullptr;
    });
    if (!found) {
        return 0;
    }
    m_bOpened = true;
    m_strSerial = serial;
    m_bExposureSet = false;
    m_health.reset();
    watchDevice(m_pDevice);
    qDebug() << "Baumer camera(" << serial << ") open successed."
             << " - "
             << "CCameraBaumer::IOpenCamera";
    return 1;
}

void CCameraBaumer::ICloseCamera() {
    ClosingScope closing(m_nClosing);
    LifecycleLock lock = lockLifecycle();
    closeCamera();
}

void CCameraBaumer::closeCamera() {
    unwatchDevice();
    if (m_pDevice != nullptr) {
        clearDeviceDataStream(m_pDevice);
        closeDevice(m_pDevice);
        m_pDevice = nullptr;
    }
    m_bLost = false;
    m_bOpened = false;
}

int CCameraBaumer::IStartCamera() {
    qDebug() << "CCameraBaumer::IStartCamera";
    LifecycleLock lock = lockLifecycle();
    if (!m_bOpened || m_pDevice == nullptr) {
        return 0;
    }
    if (m_nReqMode != m_nCurMode) {
        if (m_nReqMode == MODE_FRAME_LIMIT) {
            m_nFrameId = 0;  // before frames flow: the delivery thread writes it too
        }
        const bool result = runModeSetup(m_nReqMode);
        m_nCurMode = m_nReqMode;
        m_bGrabbing = result;
    }
    ++m_nStartCount;
    return 1;
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

void CCameraBaumer::IStopCamera() {
    LifecycleLock lock = lockLifecycle();
    if (m_pDevice != nullptr) {
        stopDeviceDataStream(m_pDevice);
    }
    m_bGrabbing = false;
}

CCameraBaumer::LifecycleLock CCameraBaumer::lockLifecycle() {
    if (t_deliveryDepth > 0) {
        return LifecycleLock();
    }
    return LifecycleLock(m_lifecycle);
}

// ---- camera loss and return -------------------------------------------------------

void deviceStateCallback(void* context, BGAPI2::Device* device, BGAPI2::Events::DeviceState state) {
    static_cast<CCameraBaumer*>(context)->DeviceStateChanged(device, state);
}

void CCameraBaumer::watchDevice(BGAPI2::Device* device) {
    try {
        device->RegisterDeviceStateEventHandler(this, deviceStateCallback);
        m_pWatched = device;
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "IOpenCamera");
    }
}

void CCameraBaumer::unwatchDevice() {
    if (m_pWatched == nullptr) {
        return;
    }
    try {
        m_pWatched->RegisterDeviceStateEventHandler(nullptr, nullptr);
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "ICloseCamera");
    }
    m_pWatched = nullptr;
}

void CCameraBaumer::DeviceStateChanged(BGAPI2::Device* device, BGAPI2::Events::DeviceState state) {
    LifecycleLock lock(m_lifecycle, std::defer_lock);
    while (!lock.try_lock()) {
        if (m_nClosing.load() > 0) {
            return;  // the camera is being given up
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (m_nClosing.load() > 0 || device != m_pWatched) {
        return;
    }
    if (state == BGAPI2::Events::DEVICE_STATE_LOST) {
        onDeviceLost();
    } else if (state == BGAPI2::Events::DEVICE_STATE_AVAILABLE) {
        onDeviceBack();
    }
}

// What the host set stays as it was; the streams and the device go, so that
// nothing waits on a camera that does not answer.
void CCameraBaumer::onDeviceLost() {
    if (m_bLost) {
        return;
    }
    m_bLost = true;
    qCritical() << QString(
                       "Baumer camera(%1) lost: it no longer answers, frames stop until it "
                       "is back.")
                       .arg(m_strSerial)
                << " - "
                << "CCameraBaumer::DeviceStateChanged";
    if (m_pDevice != nullptr) {
        clearDeviceDataStream(m_pDevice);
        closeDevice(m_pDevice);
        m_pDevice = nullptr;
    }
}

// Seen again: open it as the host did, then put back the exposure and the
// mode the host last set, grabbing again if the host was grabbing.
void CCameraBaumer::onDeviceBack() {
    if (!m_bLost) {
        return;
    }
    BGAPI2::Device* device = nullptr;
    walkDeviceLists([this, &device](BGAPI2::DeviceList* devices) {
        device = openDeviceBySerialNumber(devices, m_strSerial);
        return device != nullptr;
    });
    if (device == nullptr) {
        qCritical()
            << QString("Baumer camera(%1) is seen again but cannot be opened.").arg(m_strSerial)
            << " - "
            << "CCameraBaumer::DeviceStateChanged";
        return;
    }
    m_pDevice = device;
    m_bLost = false;
    m_health.reset();
    if (device != m_pWatched) {
        unwatchDevice();
        watchDevice(device);
    }
    if (m_bExposureSet) {
        applyExposure(m_nExposure);
    }
    const bool grabbing = m_bGrabbing && runModeSetup(m_nCurMode);
    qWarning() << QString("Baumer camera(%1) is back%2.")
                      .arg(m_strSerial, grabbing ? ", grabbing again" : "")
               << " - "
               << "CCameraBaumer::DeviceStateChanged";
}
