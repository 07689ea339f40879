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

namespace Events {
// Called by the SDK on the stream's delivery thread with each filled buffer.
using NewBufferEventHandler = void (*)(void* callBackOwner, Buffer* buffer);
}  // namespace Events

namespace Backend {
class SystemBackend;
class InterfaceBackend;
class DeviceBackend;
class NodeBackend;
class DataStreamBackend;
class BufferBackend;
template <typename Handle, typename BackendT>
class HandleCache;
}  // namespace Backend

}  // namespace BGAPI2
