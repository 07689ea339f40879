#pragma once

#include <condition_variable>
#include <mutex>

// Clang's thread-safety analysis: members name the lock that guards them and
// functions the locks they need, and -Wthread-safety checks both. Other
// compilers see nothing.
#if defined(__clang__)
#define QZ_TSA(x) __attribute__((x))
#else
#define QZ_TSA(x)
#endif

#define CAPABILITY(x) QZ_TSA(capability(x))
#define SCOPED_CAPABILITY QZ_TSA(scoped_lockable)
#define GUARDED_BY(x) QZ_TSA(guarded_by(x))
#define PT_GUARDED_BY(x) QZ_TSA(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) QZ_TSA(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) QZ_TSA(acquired_after(__VA_ARGS__))
#define REQUIRES(...) QZ_TSA(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) QZ_TSA(acquire_capability(__VA_ARGS__))
#define RELEASE(...) QZ_TSA(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) QZ_TSA(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) QZ_TSA(locks_excluded(__VA_ARGS__))
#define RETURN_CAPABILITY(x) QZ_TSA(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS QZ_TSA(no_thread_safety_analysis)

// A plain mutex the analysis knows.
class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { m_mutex.lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }

private:
    std::mutex m_mutex;
};

class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~MutexLock() RELEASE() { m_mutex.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& m_mutex;
};

// Waits with the mutex held, as the caller holds it before and after.
class Condition {
public:
    void wait(Mutex& mutex) REQUIRES(mutex) { m_cv.wait(mutex); }
    // False once the time is up.
    template <typename TimePoint>
    bool waitUntil(Mutex& mutex, TimePoint deadline) REQUIRES(mutex) {
        return m_cv.wait_until(mutex, deadline) == std::cv_status::no_timeout;
    }
    void notifyAll() { m_cv.notify_all(); }

private:
    std::condition_variable_any m_cv;
};
