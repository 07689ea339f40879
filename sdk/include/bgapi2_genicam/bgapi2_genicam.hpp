#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "bgapi2_def.h"
#include "bgapi2_exceptions.h"
#include "bgapi2_string.h"

// The camera SDK surface: thin handles over a producer's back ends. The SDK
// owns systems, interfaces, devices, streams and nodes; hosts own the Buffer
// objects they create.
namespace BGAPI2 {

class System;
class Interface;

class Device;
class DataStream;
class Node;
class NodeMap;
class Image;

// A list of SDK objects in the producer's order. Entries hold the object's
// identifier and the object.
template <typename T>
class ObjectList {
public:
    using Entry = std::pair<String, T*>;
    using iterator = typename std::vector<Entry>::iterator;

    iterator begin() { return m_entries.begin(); }
    iterator end() { return m_entries.end(); }
    bo_uint64 size() const { return m_entries.size(); }

protected:
    std::vector<Entry> m_entries;
};

// Ours, beside the BGAPI2 surface: one device as the lists stood.
struct ListedDevice {
    Device* device;
    String id;
    String serial;
    bool open;
};

class BGAPI2_API SystemList : public ObjectList<System> {
public:
    // The process-wide list; null when no producer can be loaded.
    static SystemList* GetInstance();
    static void ReleaseInstance();
    void Refresh();

    // Ours: every device listed on an open interface of an open system, as
    // last refreshed. Safe while other threads refresh the lists or release
    // the system list; makes no system list when there is none.
    static std::vector<ListedDevice> ListedDevices();

    SystemList(const SystemList&) = delete;
    SystemList& operator=(const SystemList&) = delete;

private:
    SystemList();
    ~SystemList();
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

class BGAPI2_API InterfaceList : public ObjectList<Interface> {
public:
    explicit InterfaceList(std::shared_ptr<Backend::SystemBackend> system);
    ~InterfaceList();
    void Refresh(bo_uint64 timeout);

private:
    std::shared_ptr<Backend::SystemBackend> m_system;
    std::unique_ptr<Backend::HandleCache<Interface, Backend::InterfaceBackend>> m_cache;
};

class BGAPI2_API DeviceList : public ObjectList<Device> {
public:
    explicit DeviceList(std::shared_ptr<Backend::InterfaceBackend> iface);
    ~DeviceList();
    void Refresh(bo_uint64 timeout);
    Device* operator[](const String& key);

private:
    std::shared_ptr<Backend::InterfaceBackend> m_interface;
    std::unique_ptr<Backend::HandleCache<Device, Backend::DeviceBackend>> m_cache;
};

class BGAPI2_API DataStreamList : public ObjectList<DataStream> {
public:
    explicit DataStreamList(std::shared_ptr<Backend::DeviceBackend> device);
    ~DataStreamList();
    void Refresh();

private:
    std::shared_ptr<Backend::DeviceBackend> m_device;
    std::unique_ptr<Backend::HandleCache<DataStream, Backend::DataStreamBackend>> m_cache;
};

class BGAPI2_API BufferList : public ObjectList<Buffer> {
public:
    explicit BufferList(DataStream* stream);
    ~BufferList();
    // Attaches a buffer to the stream; the SDK supplies its memory.
    void Add(Buffer* buffer);
    // Takes a buffer back out of the list so that it can be destroyed. Waits
    // for a handler call that holds the buffer to return.
    void Remove(Buffer* buffer);
    bo_uint64 GetQueuedCount();

private:
    friend class Buffer;
    void forget(Buffer* buffer);
    DataStream* m_stream;
};

class BGAPI2_API System {
public:
    explicit System(std::shared_ptr<Backend::SystemBackend> backend);
    ~System();
    String GetID();
    String GetDisplayName();
    String GetTLType();
    bo_bool IsOpen();
    void Open();
    void Close();
    InterfaceList* GetInterfaces();

private:
    friend class SystemList;
    std::shared_ptr<Backend::SystemBackend> m_backend;
    std::unique_ptr<InterfaceList> m_interfaces;
};

class BGAPI2_API Interface {
public:
    explicit Interface(std::shared_ptr<Backend::InterfaceBackend> backend);
    ~Interface();
    String GetID();
    String GetDisplayName();
    bo_bool IsOpen();
    void Open();
    void Close();
    DeviceList* GetDevices();

private:
    friend class SystemList;
    std::shared_ptr<Backend::InterfaceBackend> m_backend;
    std::unique_ptr<DeviceList> m_devices;
};

class BGAPI2_API NodeMap {
public:
    explicit NodeMap(std::shared_ptr<Backend::DeviceBackend> device);
    explicit NodeMap(std::shared_ptr<Backend::NodeBackend> enumeration);
    ~NodeMap();
    bo_bool GetNodePresent(const String& name);
    Node* GetNode(const String& name);
    bo_uint64 GetNodeCount();

private:
    friend class Device;
    Node* lookUp(const String& name);
    std::shared_ptr<Backend::DeviceBackend> m_device;
    std::shared_ptr<Backend::NodeBackend> m_enumeration;
    std::mutex m_cacheMutex;  // a host may look up features beside the plug-in
    std::vector<std::unique_ptr<Node>> m_cache;
};

class BGAPI2_API Node {
public:
    Node(std::shared_ptr<Backend::NodeBackend> backend, String owner);
    ~Node();
    String GetName();
    String GetInterface();
    String GetString();
    void SetString(const String& value);
    bo_int64 GetInt();
    void SetInt(bo_int64 value);
    bo_double GetDouble();
    void SetDouble(bo_double value);
    bo_double GetDoubleMin();
    bo_double GetDoubleMax();
    void Execute();
    NodeMap* GetEnumNodeList();

private:
    std::shared_ptr<Backend::NodeBackend> m_backend;
    String m_object;
    std::unique_ptr<NodeMap> m_entries;
};

class BGAPI2_API Device {
public:
    explicit Device(std::shared_ptr<Backend::DeviceBackend> backend);
    ~Device();
    String GetID();
    String GetSerialNumber();
    String GetModel();
    String GetVendor();
    String GetTLType();
    bo_bool IsOpen();
    void Open();
    void Close();
    DataStreamList* GetDataStreams();
    // Ours: the counters of all the device's streams, added up; safe while
    // another thread refreshes or uses the streams.
    StreamStatistics GetStreamStatistics();
    NodeMap* GetRemoteNodeList();
    Node* GetRemoteNode(const String& name);
    // One handler per device; null unregisters. Waits for a running call of
    // the handler to return, unless called from inside it.
    void RegisterDeviceStateEventHandler(void* callBackOwner,
                                         Events::DeviceStateEventHandler handler);

private:
    NodeMap* nodeMap(const char* function);
    std::shared_ptr<Backend::DeviceBackend> m_backend;
    bool m_stateHandlerSet = false;
    std::unique_ptr<DataStreamList> m_streams;
    std::mutex m_nodesMutex;  // made on first use, from any thread
    std::unique_ptr<NodeMap> m_nodes;
};

namespace Events {
class BGAPI2_API DataStreamEventControl {
public:
    virtual ~DataStreamEventControl();
    // One handler per stream; registering again replaces it.
    void RegisterNewBufferEventHandler(void* callBackOwner, NewBufferEventHandler handler);

protected:
    virtual Backend::DataStreamBackend& eventBackend() = 0;
    virtual const String& eventObject() const = 0;
};
}  // namespace Events

class BGAPI2_API DataStream : public Events::DataStreamEventControl {
public:
    explicit DataStream(std::shared_ptr<Backend::DataStreamBackend> backend);
    ~DataStream() override;
    String GetID();
    bo_bool IsOpen();
    void Open();
    void Close();
    bo_bool GetIsGrabbing();
    void StartAcquisitionContinuous();
    void StopAcquisition();
    BufferList* GetBufferList();
    StreamStatistics GetStatistics();

protected:
    Backend::DataStreamBackend& eventBackend() override { return *m_backend; }
    const String& eventObject() const override { return m_id; }

private:
    friend class BufferList;
    Backend::DataStreamBackend& backend() { return *m_backend; }
    std::shared_ptr<Backend::DataStreamBackend> m_backend;
    String m_id;
    std::unique_ptr<BufferList> m_buffers;
};

class BGAPI2_API Buffer {
public:
    Buffer();
    virtual ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    String GetID();
    void QueueBuffer();
    void* GetMemPtr();
    bo_uint64 GetMemSize();
    bo_uint64 GetWidth();
    bo_uint64 GetHeight();
    bo_uint64 GetFrameID();
    String GetPixelFormat();
    // The data stream the buffer is attached to; null when detached.
    DataStream* GetParent();

private:
    friend class BufferList;
    Backend::BufferBackend& attached(const char* operation);
    std::unique_ptr<Backend::BufferBackend> m_backend;
    BufferList* m_owner = nullptr;
};

class BGAPI2_API Image {
public:
    bo_uint GetWidth();
    bo_uint GetHeight();
    String GetPixelformat();
    void* GetBuffer();
    bo_uint64 GetTransformBufferLength(const String& format);
    // Converts into a new image owned by the image processor; hand it back
    // with Release.
    void TransformImage(const String& format, Image** out);
    void Release();

    struct Impl;  // opaque

private:
    friend class ImageProcessor;
    Image() = default;
    ~Image();
    Impl* m_impl = nullptr;
};

class BGAPI2_API ImageProcessor {
public:
    static ImageProcessor* GetInstance();
    static void ReleaseInstance();
    // Wraps memory the caller keeps alive; nothing is copied.
    Image* CreateImage(bo_uint width, bo_uint height, const String& pixelFormat, void* buffer,
                       bo_uint64 size);

    ImageProcessor(const ImageProcessor&) = delete;
    ImageProcessor& operator=(const ImageProcessor&) = delete;

    struct Impl;  // opaque

private:
    ImageProcessor();
    ~ImageProcessor();
    std::unique_ptr<Impl> m_impl;
};

}  // namespace BGAPI2
