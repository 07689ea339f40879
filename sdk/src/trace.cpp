#include "trace.h"

#include <atomic>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

#include "bgapi2_genicam/bgapi2_exceptions.h"
#include "sdklog.h"
#include "simcam/simcam.h"

namespace BGAPI2 {
namespace trace {
namespace {

struct State {
    std::mutex mutex;
    bool recording = false;
    std::vector<simcam::Call> calls;
    std::vector<simcam::Failure> failures;
};

State& state() {
    static State instance;
    return instance;
}

// Cheap test on the hot path: nothing to record and nothing to inject.
}  // namespace

std::atomic<bool> g_active{false};

namespace {

void updateActive(State& s) {
    g_active = s.recording || !s.failures.empty();
}

template <typename Kind>
[[noreturn]] void throwAs(const simcam::Failure& failure, const BGAPI2::String& function) {
    if (failure.type.empty()) {
        throw Kind(failure.description, function);
    }
    throw Kind(failure.type, failure.description, function);
}

[[noreturn]] void raise(const simcam::Failure& failure, const char* operation) {
    using namespace Exceptions;
    qCDebug(lcSdk) << "injected failure of" << operation;
    const String function = failure.function.empty() ? String(operation) : failure.function;
    switch (failure.kind) {
        case simcam::FailureKind::NotAvailable:
            throwAs<NotAvailableException>(failure, function);
        case simcam::FailureKind::InvalidParameter:
            throwAs<InvalidParameterException>(failure, function);
        case simcam::FailureKind::ResourceInUse:
            throwAs<ResourceInUseException>(failure, function);
        case simcam::FailureKind::NotImplemented:
            throwAs<NotImplementedException>(failure, function);
        case simcam::FailureKind::LowLevel:
            throwAs<LowLevelException>(failure, function);
        case simcam::FailureKind::OutOfMemory:
            throw std::bad_alloc();
        case simcam::FailureKind::SystemError:
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    failure.description);
        case simcam::FailureKind::Error:
            break;
    }
    throwAs<ErrorException>(failure, function);
}

bool matches(const simcam::Failure& f, const char* operation, const std::string& object) {
    return f.operation == operation && (f.object.empty() || f.object == object);
}

}  // namespace

void enter(const char* operation, const std::string& object, const std::string& args) {
    if (!g_active.load(std::memory_order_relaxed)) {
        return;
    }
    State& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.recording) {
        s.calls.push_back({operation, object, args});
    }
    for (auto it = s.failures.begin(); it != s.failures.end(); ++it) {
        if (!matches(*it, operation, object)) {
            continue;
        }
        if (it->always) {
            const simcam::Failure failure = *it;
            lock.unlock();
            raise(failure, operation);
        }
        if (--it->nth <= 0) {
            const simcam::Failure failure = *it;
            s.failures.erase(it);
            updateActive(s);
            lock.unlock();
            raise(failure, operation);
        }
    }
}

}  // namespace trace
}  // namespace BGAPI2

namespace simcam {

void injectFailure(const Failure& failure) {
    auto& s = BGAPI2::trace::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.failures.push_back(failure);
    BGAPI2::trace::updateActive(s);
}

void clearFailures() {
    auto& s = BGAPI2::trace::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.failures.clear();
    BGAPI2::trace::updateActive(s);
}

void setRecording(bool on) {
    auto& s = BGAPI2::trace::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.recording = on;
    BGAPI2::trace::updateActive(s);
}

std::vector<Call> recordedCalls() {
    auto& s = BGAPI2::trace::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.calls;
}

void clearRecordedCalls() {
    auto& s = BGAPI2::trace::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.calls.clear();
}

}  // namespace simcam
