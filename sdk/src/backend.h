#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bgapi2_genicam/bgapi2_def.h"

// What a producer implements behind the surface handles. One interface per
// object kind; the handles add call tracing and nothing else.
namespace BGAPI2 {
namespace Backend {

class NodeBackend {
public:
    virtual ~NodeBackend() = default;
    virtual std::string name() const = 0;
    virtual std::string kind() const = 0;  // "IEnumeration", "ICommand", "IFloat", "IInteger", ...
    virtual std::string getString() = 0;
    virtual void setString(const std::string& value) = 0;
    virtual std::int64_t getInt() = 0;
    virtual void setInt(std::int64_t value) = 0;
    virtual double getDouble() = 0;
    virtual void setDouble(double value) = 0;
    virtual double getDoubleMin() = 0;
    virtual double getDoubleMax() = 0;
    virtual void execute() = 0;
    virtual std::vector<std::string> enumEntries() = 0;
};

class BufferBackend {
public:
    virtual ~BufferBackend() = default;
    virtual std::string id() const = 0;
    virtual void* memPtr() = 0;
    virtual std::uint64_t memSize() = 0;
    virtual std::uint64_t width() = 0;
    virtual std::uint64_t height() = 0;
    virtual std::uint64_t frameId() = 0;
    virtual std::string pixelFormat() = 0;
    virtual void queue() = 0;
    // Takes the buffer out of its stream; waits for a handler call holding it.
    virtual void detach() = 0;
};

class DataStreamBackend {
public:
    virtual ~DataStreamBackend() = default;
    virtual std::string id() const = 0;
    virtual bool isOpen() = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isGrabbing() = 0;
    virtual void startAcquisition() = 0;
    virtual void stopAcquisition() = 0;
    virtual std::unique_ptr<BufferBackend> attach(Buffer* buffer) = 0;
    virtual std::uint64_t queuedCount() = 0;
    virtual void registerNewBufferHandler(void* context, Events::NewBufferEventHandler handler) = 0;
    virtual StreamStatistics statistics() = 0;
};

class DeviceBackend {
public:
    virtual ~DeviceBackend() = default;
    virtual std::string id() const = 0;
    virtual std::string serialNumber() = 0;
    virtual std::string model() = 0;
    virtual std::string vendor() = 0;
    virtual std::string tlType() = 0;
    virtual bool isOpen() = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    // Null when the device has no such feature.
    virtual std::shared_ptr<NodeBackend> node(const std::string& name) = 0;
    virtual std::uint64_t nodeCount() = 0;
    virtual std::vector<std::shared_ptr<DataStreamBackend>> dataStreams() = 0;
    virtual DeviceEvents& events() = 0;
};

class InterfaceBackend {
public:
    virtual ~InterfaceBackend() = default;
    virtual std::string id() const = 0;
    virtual std::string displayName() = 0;
    virtual bool isOpen() = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool hasDeviceList() = 0;
    virtual std::vector<std::shared_ptr<DeviceBackend>> devices() = 0;
};

class SystemBackend {
public:
    virtual ~SystemBackend() = default;
    virtual std::string id() const = 0;
    virtual std::string displayName() = 0;
    virtual std::string tlType() = 0;
    virtual bool isOpen() = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool hasInterfaceList() = 0;
    virtual std::vector<std::shared_ptr<InterfaceBackend>> interfaces() = 0;
};

// A producer brings one or more systems. It lives as long as the system list.
class Producer {
public:
    virtual ~Producer() = default;
    virtual std::vector<std::shared_ptr<SystemBackend>> systems() = 0;
    // Stops every camera before the handles go, so no frame is delivered
    // while the lists are torn down.
    virtual void shutdown() {}
};

}  // namespace Backend
}  // namespace BGAPI2
