#include "deliverythread.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <list>
#include <thread>
#include <vector>

namespace BGAPI2 {
namespace Backend {

struct DeliveryJob {
    const DeliveryThread* owner = nullptr;
    std::function<void()> body;
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;

    void wait() {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return done; });
    }

    bool isDone() {
        std::lock_guard<std::mutex> lock(mutex);
        return done;
    }
};

namespace {

thread_local const DeliveryJob* t_running = nullptr;

struct Worker {
    std::thread thread;
    bool busy = true;
};

// Idle threads wait here for the next job. Threads hold the pool by shared
// pointer, so one still busy when the library goes away ends on its own.
struct PoolState {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::shared_ptr<DeliveryJob>> pending;
    std::list<Worker> workers;
    std::size_t idle = 0;
    bool closing = false;
};

void markDone(DeliveryJob& job) {
    {
        std::lock_guard<std::mutex> lock(job.mutex);
        job.done = true;
    }
    job.cv.notify_all();
}

// A worker counts as idle before its job is reported done, so that a start
// right after a stop finds it free instead of making another thread.
void serve(const std::shared_ptr<PoolState>& pool, Worker* self) {
    std::unique_lock<std::mutex> lock(pool->mutex);
    for (;;) {  // counted as idle from its creation on
        self->busy = false;
        pool->cv.wait(lock, [&] { return pool->closing || !pool->pending.empty(); });
        if (pool->pending.empty()) {
            return;
        }
        self->busy = true;
        --pool->idle;
        std::shared_ptr<DeliveryJob> job = std::move(pool->pending.front());
        pool->pending.pop_front();
        lock.unlock();
        t_running = job.get();
        job->body();
        job->body = nullptr;  // lets the stream go before anyone is told
        t_running = nullptr;
        lock.lock();
        ++pool->idle;
        markDone(*job);
    }
}

class ThreadPool {
public:
    // Idle threads are joined; one still in a job (a stream never stopped)
    // is left to end by itself.
    ~ThreadPool() {
        std::unique_lock<std::mutex> lock(m_state->mutex);
        m_state->closing = true;
        m_state->cv.notify_all();
        std::vector<std::thread> idle;
        for (Worker& worker : m_state->workers) {
            if (worker.busy || worker.thread.get_id() == std::this_thread::get_id()) {
                worker.thread.detach();
            } else {
                idle.push_back(std::move(worker.thread));
            }
        }
        lock.unlock();
        for (std::thread& thread : idle) {
            thread.join();
        }
    }

    void run(std::shared_ptr<DeliveryJob> job) {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (m_state->idle == m_state->pending.size()) {
            m_state->workers.emplace_back();
            Worker* worker = &m_state->workers.back();
            try {
                worker->thread = std::thread([state = m_state, worker] { serve(state, worker); });
            } catch (...) {
                m_state->workers.pop_back();
                throw;
            }
            ++m_state->idle;
        }
        m_state->pending.push_back(std::move(job));
        m_state->cv.notify_one();
    }

private:
    std::shared_ptr<PoolState> m_state = std::make_shared<PoolState>();
};

ThreadPool& pool() {
    static ThreadPool instance;
    return instance;
}

}  // namespace

void DeliveryThread::launch(Mutex& streamLock, std::function<void(std::uint64_t)> body) {
    finish(streamLock);
    const std::uint64_t generation = ++m_generation;
    auto job = std::make_shared<DeliveryJob>();
    job->owner = this;
    job->body = [body = std::move(body), generation] { body(generation); };
    pool().run(job);
    m_jobs.push_back(std::move(job));
}

// Jobs stay recorded while they are waited for: a second thread that
// finishes meanwhile waits for them too, and a job still knows it is this
// stream's. A job restarted from inside its own handler leaves the old one
// running on this thread; the next finish from elsewhere waits for both.
void DeliveryThread::finish(Mutex& streamLock) {
    for (;;) {
        std::shared_ptr<DeliveryJob> finishing;
        for (const auto& job : m_jobs) {
            if (job.get() != t_running && !job->isDone()) {
                finishing = job;
                break;
            }
        }
        if (!finishing) {
            break;
        }
        streamLock.unlock();
        finishing->wait();
        streamLock.lock();
    }
    m_jobs.erase(
        std::remove_if(m_jobs.begin(), m_jobs.end(), [](const auto& job) { return job->isDone(); }),
        m_jobs.end());
}

bool DeliveryThread::onThread() const {
    return t_running != nullptr && t_running->owner == this;
}

}  // namespace Backend
}  // namespace BGAPI2
