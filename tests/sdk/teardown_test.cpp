// Stopping, closing and removing buffers while frames flow: nothing runs
// after they return and nothing deadlocks when called from the handler.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <set>

#include "streamharness.h"

namespace {
simcam::CameraConfig fastCamera() {
    return fastSimCamera("A");
}
}  // namespace

TEST_F(StreamTest, StopWaitsForTheRunningHandlerAndNoCallStartsAfter) {
    prepare(fastCamera());
    std::atomic<bool> inHandler{false};
    std::atomic<bool> afterStop{false};
    std::promise<void> entered;
    std::atomic<bool> once{false};
    action = [&](BGAPI2::Buffer* buffer) {
        EXPECT_FALSE(afterStop.load()) << "handler called after StopAcquisition returned";
        inHandler = true;
        if (!once.exchange(true)) {
            entered.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        buffer->QueueBuffer();
        inHandler = false;
    };
    start();
    entered.get_future().wait();
    stream->StopAcquisition();
    EXPECT_FALSE(inHandler.load());
    afterStop = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(stream->GetIsGrabbing());
}

TEST_F(StreamTest, StopAndCloseFromInsideTheHandlerDoNotDeadlock) {
    prepare(fastCamera());
    std::promise<void> done;
    std::atomic<bool> once{false};
    action = [&](BGAPI2::Buffer* buffer) {
        buffer->QueueBuffer();
        if (!once.exchange(true)) {
            stream->StopAcquisition();
            done.set_value();
        }
    };
    start();
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    const std::size_t count = seenCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(seenCount(), count) << "no delivery after the stop";
    stream->Close();
    EXPECT_FALSE(stream->IsOpen());
}

TEST_F(StreamTest, GateHoldsADeliveryAndStopCancelsIt) {
    prepare(simCamera("A"));
    simcam::closeGate("A");
    start("On", "Software");
    device->GetRemoteNode("TriggerSoftware")->Execute();
    ASSERT_TRUE(simcam::waitAtGate("A"));
    EXPECT_EQ(seenCount(), 0u);
    stream->StopAcquisition();
    simcam::openGate("A");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(seenCount(), 0u) << "a held delivery does not start after the stop";
    EXPECT_EQ(simcam::streamCounters("A").queued, 8u) << "its buffer went back to the queue";
}

TEST_F(StreamTest, RemovingTheHeldBufferWaitsForTheHandler) {
    prepare(simCamera("A"));
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> handlerDone{false};
    action = [&](BGAPI2::Buffer*) {
        entered.set_value();
        released.wait();
        handlerDone = true;
    };
    start("On", "Software");
    device->GetRemoteNode("TriggerSoftware")->Execute();
    entered.get_future().wait();
    BGAPI2::Buffer* held = seen[0].buffer;
    auto removal = std::async(std::launch::async, [&] { stream->GetBufferList()->Remove(held); });
    EXPECT_EQ(removal.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    release.set_value();
    removal.get();
    EXPECT_TRUE(handlerDone.load());
}

TEST_F(StreamTest, CloseWhileGrabbingThenReleaseBuffers) {
    prepare(fastCamera());
    start();
    ASSERT_TRUE(waitSeen(50));
    stream->Close();
    const std::size_t count = seenCount();
    BGAPI2::BufferList* buffers = stream->GetBufferList();
    while (buffers->size() > 0) {
        BGAPI2::Buffer* buffer = buffers->begin()->second;
        buffers->Remove(buffer);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(seenCount(), count);
    EXPECT_EQ(simcam::streamCounters("A").held, 0u);
}

TEST_F(StreamTest, ReleasingTheSystemListStopsEverything) {
    prepare(fastCamera());
    start();
    ASSERT_TRUE(waitSeen(20));
    BGAPI2::SystemList::ReleaseInstance();
    stream = nullptr;
    const std::size_t count = seenCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(seenCount(), count);
    EXPECT_SDK_FAILURE(owned[0]->QueueBuffer(), BGAPI2::Exceptions::IException);
}

// Image libraries keep state per thread: a new thread per start would grow
// the process with every start. Thread ids are reused by the system, so each
// thread numbers itself.
TEST_F(StreamTest, RestartsUseTheSameDeliveryThread) {
    prepare(fastCamera());
    static std::atomic<int> s_threads{0};
    std::set<int> threads;
    action = [&](BGAPI2::Buffer* buffer) {
        thread_local const int number = ++s_threads;
        {
            std::lock_guard<std::mutex> lock(mutex);
            threads.insert(number);
        }
        buffer->QueueBuffer();
    };
    for (std::size_t round = 1; round <= 20; ++round) {
        const std::size_t before = seenCount();
        start();
        ASSERT_TRUE(waitSeen(before + 2));
        stream->StopAcquisition();
    }
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(threads.size(), 1u);
}

// The handler closes its stream and takes its own buffer out while another
// thread is already waiting in StopAcquisition for that handler: neither may
// wait for the other.
TEST_F(StreamTest, HandlerThatClosesWhileAnotherThreadStopsDoesNotWaitForItself) {
    prepare(fastCamera());
    std::promise<void> entered;
    std::promise<void> stopping;
    std::shared_future<void> stopStarted = stopping.get_future().share();
    std::atomic<bool> once{false};
    std::atomic<bool> handlerDone{false};
    action = [&](BGAPI2::Buffer* buffer) {
        if (once.exchange(true)) {
            buffer->QueueBuffer();
            return;
        }
        entered.set_value();
        stopStarted.wait();
        // Give the stopping thread time to reach its wait for this handler.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stream->Close();
        stream->GetBufferList()->Remove(buffer);
        handlerDone = true;
    };
    start();
    entered.get_future().wait();
    auto stopper = std::async(std::launch::async, [&] {
        stopping.set_value();
        stream->StopAcquisition();
        EXPECT_TRUE(handlerDone.load()) << "StopAcquisition returned before the handler";
    });
    ASSERT_EQ(stopper.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "stop and the closing handler wait for each other";
    EXPECT_FALSE(stream->IsOpen());
    EXPECT_EQ(stream->GetBufferList()->size(), 7u);
}

// Two threads stopping at once both return only once the running handler has.
TEST_F(StreamTest, EveryConcurrentStopWaitsForTheRunningHandler) {
    prepare(fastCamera());
    std::promise<void> entered;
    std::atomic<bool> release{false};
    std::atomic<bool> handlerDone{false};
    std::atomic<bool> once{false};
    action = [&](BGAPI2::Buffer* buffer) {
        if (!once.exchange(true)) {
            entered.set_value();
            while (!release.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            handlerDone = true;
        }
        buffer->QueueBuffer();
    };
    start();
    entered.get_future().wait();
    auto stop = [&] {
        stream->StopAcquisition();
        EXPECT_TRUE(handlerDone.load()) << "a stop returned while the handler ran";
    };
    auto first = std::async(std::launch::async, stop);
    auto second = std::async(std::launch::async, stop);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release = true;
    EXPECT_EQ(first.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(second.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}
