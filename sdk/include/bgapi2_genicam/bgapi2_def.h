#pragma once

#include <cstdint>

#if defined(BGAPI2_BUILDING_SDK)
#define BGAPI2_API __attribute__((visibility("default")))
#else
#define BGAPI2_API
#endif

namespace BGAPI2 {

using bo_bool = bool;
using bo_int = std::int32_t;
using bo_uint = std::uint32_t;
using bo_int64 = std::int64_t;
using bo_uint64 = std::uint64_t;
using bo_double = double;

class Buffer;
class Device;

// What one data stream has seen since it was opened.
struct StreamStatistics {
    bo_uint64 delivered = 0;       // frames handed to the new-buffer handler
    bo_uint64 incomplete = 0;      // frames that arrived damaged; their buffer was queued again
    bo_uint64 lost = 0;            // frames that never arrived, mostly for want of a queued buffer
    bo_uint64 resentPackets = 0;   // packets the transport asked for again and received
    bo_uint64 missingPackets = 0;  // packets that never arrived
};

namespace Events {
// Called by the SDK on the stream's delivery thread with each filled buffer.
using NewBufferEventHandler = void (*)(void* callBackOwner, Buffer* buffer);

// A device stops answering (lost), or is seen again after it was lost
// (available: closed, ready to be opened again).
enum DeviceState { DEVICE_STATE_LOST = 1, DEVICE_STATE_AVAILABLE = 2 };
// Called by the SDK on the device's event thread, one call at a time.
using DeviceStateEventHandler = void (*)(void* callBackOwner, Device* device, DeviceState state);
}  // namespace Events

namespace Backend {
class SystemBackend;
class InterfaceBackend;
class DeviceBackend;
class NodeBackend;
class DataStreamBackend;
class BufferBackend;
class DeviceEvents;
template <typename Handle, typename BackendT>
class HandleCache;
}  // namespace Backend

}  // namespace BGAPI2
