#include "simcamera.h"

#include <algorithm>
#include <chrono>

#include "../pixelformats.h"
#include "bgapi2_genicam/bgapi2_exceptions.h"
#include "pattern.h"

namespace BGAPI2 {
namespace sim {

using Exceptions::InvalidParameterException;
using Exceptions::ResourceInUseException;

SimCamera::SimCamera(simcam::CameraConfig config)
    : m_config(std::move(config)), m_signal(std::make_shared<QueueSignal>()) {
    if (m_config.id.empty()) {
        m_config.id = m_config.serial;
    }
    if (m_config.pixelFormats.empty()) {
        m_config.pixelFormats.push_back(m_config.pixelFormat);
    }
    m_pixelFormat = m_config.pixelFormat;
    m_exposure = m_config.exposureValue;
    m_nextFrameId = m_config.firstFrameId;
    m_triggerSource = m_config.triggerSources.empty() ? "" : m_config.triggerSources.front();
    buildFeatures();
    for (auto& node : m_nodes) {
        node.second->reachable = &m_reachable;
    }
    m_configError = simcam::cameraConfigError(m_config);
    const int streams = m_configError.empty() ? m_config.streamCount : 0;
    for (int i = 0; i < streams; ++i) {
        m_streams.push_back(std::make_shared<SimStream>(
            m_config.id + "/Stream" + std::to_string(i), [this] { return payloadSize(); },
            m_signal));
    }
}

SimCamera::~SimCamera() {
    close();
}

void SimCamera::addEnumeration(const std::string& name, std::string* value,
                               std::function<std::vector<std::string>()> entries) {
    auto node = std::make_shared<SimNode>(name, "IEnumeration");
    node->onEntries = entries;
    node->onGetString = [this, value] {
        std::lock_guard<std::mutex> lock(m_mutex);
        return *value;
    };
    node->onSetString = [this, name, value, entries](const std::string& text) {
        const auto allowed = entries();
        if (std::find(allowed.begin(), allowed.end(), text) == allowed.end()) {
            throw InvalidParameterException("'" + text + "' is not an entry of '" + name + "'",
                                            "Node::SetString");
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (name == "PixelFormat" && m_acquiring) {
                throw ResourceInUseException("'PixelFormat' is locked while acquiring",
                                             "Node::SetString");
            }
            *value = text;
        }
        restartSource();
    };
    m_nodes[name] = node;
}

void SimCamera::addCommand(const std::string& name, std::function<void()> action) {
    auto node = std::make_shared<SimNode>(name, "ICommand");
    node->onExecute = std::move(action);
    m_nodes[name] = node;
}

void SimCamera::addFloat(const std::string& name, double minimum, double maximum, double* value) {
    auto node = std::make_shared<SimNode>(name, "IFloat");
    node->minimum = minimum;
    node->maximum = maximum;
    node->onGetDouble = [this, value] {
        std::lock_guard<std::mutex> lock(m_mutex);
        return *value;
    };
    node->onSetDouble = [this, value](double v) {
        std::lock_guard<std::mutex> lock(m_mutex);
        *value = v;
    };
    m_nodes[name] = node;
}

void SimCamera::addInteger(const std::string& name, std::function<std::int64_t()> get) {
    auto node = std::make_shared<SimNode>(name, "IInteger");
    node->onGetInt = std::move(get);
    m_nodes[name] = node;
}

void SimCamera::buildFeatures() {
    addEnumeration("PixelFormat", &m_pixelFormat, [this] { return m_config.pixelFormats; });
    addInteger("Width", [this] { return std::int64_t{m_config.width}; });
    addInteger("Height", [this] { return std::int64_t{m_config.height}; });
    auto serial = std::make_shared<SimNode>("DeviceSerialNumber", "IString");
    serial->onGetString = [this] { return m_config.serial; };
    m_nodes["DeviceSerialNumber"] = serial;
    using simcam::ExposureFeature;
    if (m_config.exposure == ExposureFeature::ExposureTime ||
        m_config.exposure == ExposureFeature::Both) {
        addFloat("ExposureTime", m_config.exposureMin, m_config.exposureMax, &m_exposure);
    }
    if (m_config.exposure == ExposureFeature::ExposureTimeAbs ||
        m_config.exposure == ExposureFeature::Both) {
        addFloat("ExposureTimeAbs", m_config.exposureMin, m_config.exposureMax, &m_exposure);
    }
    if (m_config.hasAcquisitionAbort) {
        addCommand("AcquisitionAbort", [this] { stopAcquisition(); });
    }
    addCommand("AcquisitionStart", [this] { startAcquisition(); });
    addCommand("AcquisitionStop", [this] { stopAcquisition(); });
    if (m_config.hasTriggerFeatures) {
        addEnumeration("TriggerMode", &m_triggerMode, [] {
            return std::vector<std::string>{"Off", "On"};
        });
        addEnumeration("TriggerSource", &m_triggerSource,
                       [this] { return m_config.triggerSources; });
        addCommand("TriggerSoftware", [this] { softwareTrigger(); });
    }
}

bool SimCamera::isOpen() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

void SimCamera::holdOpens(bool hold) {
    {
        std::lock_guard<std::mutex> lock(m_openGateMutex);
        m_opensHeld = hold;
    }
    m_openGateCv.notify_all();
}

bool SimCamera::waitForHeldOpen(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_openGateMutex);
    return m_openGateCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [this] { return m_opensWaiting > 0; });
}

void SimCamera::open() {
    {
        std::unique_lock<std::mutex> gate(m_openGateMutex);
        ++m_opensWaiting;
        m_openGateCv.notify_all();
        m_openGateCv.wait(gate, [this] { return !m_opensHeld; });
        --m_opensWaiting;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_open) {
        throw ResourceInUseException("device '" + m_config.id + "' is already open",
                                     "Device::Open");
    }
    if (!m_configError.empty()) {
        throw InvalidParameterException(m_configError, "Device::Open");
    }
    if (!m_reachable) {
        throw Exceptions::LowLevelException("device '" + m_config.id + "' is not reachable",
                                            "Device::Open");
    }
    m_open = true;
}

void SimCamera::unplug() {
    if (!m_reachable.exchange(false)) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_acquiring = false;
    }
    stopSource();
    for (auto& stream : m_streams) {
        stream->setReachable(false);
    }
    m_events.post(Events::DEVICE_STATE_LOST);
}

void SimCamera::replug() {
    if (m_reachable.load()) {
        return;
    }
    for (auto& stream : m_streams) {
        stream->close();
        stream->setReachable(true);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
        m_acquiring = false;
        m_pixelFormat = m_config.pixelFormat;
        m_triggerMode = "Off";
        m_triggerSource = m_config.triggerSources.empty() ? "" : m_config.triggerSources.front();
        m_exposure = m_config.exposureValue;
    }
    m_reachable = true;
    m_events.post(Events::DEVICE_STATE_AVAILABLE);
}

// Closing stops the camera and its streams, so nothing keeps running.
void SimCamera::close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
        m_acquiring = false;
    }
    stopSource();
    for (auto& stream : m_streams) {
        stream->close();
    }
}

std::shared_ptr<Backend::NodeBackend> SimCamera::node(const std::string& name) {
    auto it = m_nodes.find(name);
    return it == m_nodes.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Backend::DataStreamBackend>> SimCamera::dataStreams() {
    return {m_streams.begin(), m_streams.end()};
}

std::shared_ptr<SimStream> SimCamera::stream(int index) {
    if (index < 0 || index >= static_cast<int>(m_streams.size())) {
        return nullptr;
    }
    return m_streams[static_cast<std::size_t>(index)];
}

void SimCamera::startAcquisition() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_acquiring = true;
    }
    restartSource();
}

void SimCamera::stopAcquisition() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_acquiring = false;
    }
    stopSource();
}

SimCamera::Source SimCamera::triggerSourceLocked() const {
    if (m_triggerMode != "On") {
        return Source::None;
    }
    if (m_triggerSource == "Software" || m_triggerSource == "SoftwareTrigger") {
        return Source::Software;
    }
    return m_triggerSource == "Line0" ? Source::Line0 : Source::None;
}

// A camera ignores a software trigger unless it waits for one.
void SimCamera::softwareTrigger() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_acquiring || m_triggerMode != "On" || triggerSourceLocked() != Source::Software) {
            return;
        }
    }
    produceFrame();
}

void SimCamera::pulseLine() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_acquiring || triggerSourceLocked() != Source::Line0) {
            return;
        }
    }
    produceFrame();
}

void SimCamera::shape(const simcam::FrameShape& shape) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shape = shape;
    m_shapeRemaining = shape.count;
    if (shape.frameId) {
        m_nextFrameId = *shape.frameId;
    }
}

std::uint64_t SimCamera::payloadSize() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const pixel::FormatInfo* format = pixel::find(m_pixelFormat);
    const std::uint64_t pixels = std::uint64_t{m_config.width} * m_config.height;
    return format != nullptr ? pixel::payloadSize(*format, m_config.width, m_config.height)
                             : pixels;
}

std::shared_ptr<const std::vector<std::uint8_t>> SimCamera::pictureLocked(const std::string& format,
                                                                          std::uint32_t width,
                                                                          std::uint32_t height) {
    const std::string key = format + "/" + std::to_string(width) + "x" + std::to_string(height);
    if (key != m_pictureKey || !m_picture) {
        const pixel::FormatInfo* info = pixel::find(format);
        m_picture = std::make_shared<const std::vector<std::uint8_t>>(
            info != nullptr ? encodeScene(*info, width, height)
                            : std::vector<std::uint8_t>(std::uint64_t{width} * height, 0x80));
        m_pictureKey = key;
    }
    return m_picture;
}

void SimCamera::produceFrame() {
    Frame frame;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_acquiring) {
            return;
        }
        frame.pixelFormat = m_pixelFormat;
        std::uint32_t width = m_config.width;
        std::uint32_t height = m_config.height;
        if (m_shapeRemaining != 0) {
            frame.pixelFormat = m_shape.pixelFormat.value_or(frame.pixelFormat);
            width = m_shape.width.value_or(width);
            height = m_shape.height.value_or(height);
            frame.payloadLimit = m_shape.payload.value_or(frame.payloadLimit);
            if (m_shapeRemaining > 0) {
                --m_shapeRemaining;
            }
        }
        frame.frameId = m_nextFrameId++;
        frame.width = width;
        frame.height = height;
        frame.pixels = pictureLocked(frame.pixelFormat, width, height);
    }
    for (auto& stream : m_streams) {
        stream->offerFrame(frame);
    }
}

std::string SimCamera::featureValue(const std::string& feature) {
    auto it = m_nodes.find(feature);
    if (it == m_nodes.end() || !m_reachable) {
        return {};
    }
    if (it->second->kind() == "IFloat") {
        return std::to_string(it->second->getDouble());
    }
    if (it->second->kind() == "IEnumeration" || it->second->kind() == "IString") {
        return it->second->getString();
    }
    return {};
}

bool SimCamera::acquiring() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_acquiring;
}

// The source runs while acquiring in free run, or with "Line0" pulsed at a
// configured rate; any change of those settings restarts it.
void SimCamera::restartSource() {
    stopSource();
    double rate = 0.0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_acquiring) {
            return;
        }
        const Source source = triggerSourceLocked();
        if (m_triggerMode == "Off") {
            rate = m_config.frameRate;
        } else if (source == Source::Line0 && m_config.linePulseRate > 0) {
            rate = m_config.linePulseRate;
        } else {
            return;
        }
    }
    std::lock_guard<std::mutex> lock(m_sourceMutex);
    m_sourceStop = false;
    m_source = std::thread([this, rate] { sourceLoop(rate); });
}

void SimCamera::stopSource() {
    std::thread finishing;
    {
        std::lock_guard<std::mutex> lock(m_sourceMutex);
        m_sourceStop = true;
        finishing = std::move(m_source);
    }
    m_sourceCv.notify_all();
    {
        // Wake a source waiting for a queued buffer.
        std::lock_guard<std::mutex> lock(m_signal->mutex);
        ++m_signal->sequence;
    }
    m_signal->cv.notify_all();
    if (finishing.joinable()) {
        finishing.join();
    }
}

bool SimCamera::sourceStopped() {
    std::lock_guard<std::mutex> lock(m_sourceMutex);
    return m_sourceStop;
}

bool SimCamera::streamsReady() {
    bool anyGrabbing = false;
    for (auto& stream : m_streams) {
        if (!stream->isGrabbing()) {
            continue;
        }
        anyGrabbing = true;
        if (!stream->readyForFrame()) {
            return false;
        }
    }
    return anyGrabbing;
}

void SimCamera::sourceLoop(double rate) {
    using Clock = std::chrono::steady_clock;
    if (rate <= 0) {
        // As fast as the host hands buffers back: one frame per queued buffer.
        while (!sourceStopped()) {
            std::unique_lock<std::mutex> lock(m_signal->mutex);
            const std::uint64_t seen = m_signal->sequence;
            lock.unlock();
            if (streamsReady()) {
                produceFrame();
                continue;
            }
            lock.lock();
            m_signal->cv.wait_for(lock, std::chrono::milliseconds(20),
                                  [&] { return m_signal->sequence != seen; });
        }
        return;
    }
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    auto next = Clock::now() + period;
    std::unique_lock<std::mutex> lock(m_sourceMutex);
    while (!m_sourceCv.wait_until(lock, next, [this] { return m_sourceStop; })) {
        lock.unlock();
        produceFrame();
        lock.lock();
        next += period;
        const auto now = Clock::now();
        if (next < now) {
            next = now;
        }
    }
}

}  // namespace sim
}  // namespace BGAPI2
