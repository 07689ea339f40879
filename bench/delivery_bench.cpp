// Frames per second through the plug-in against the SDK's own handler path,
// on a simulated camera delivering as fast as buffers come back.
#include <QLoggingCategory>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "benchsupport.h"
#include "camerabaumer.h"
#include "ratioreporter.h"
#include "simcam/simcam.h"

namespace {

constexpr long kFramesPerIteration = 2000;

void useFastCamera() {
    useOnlyCamera("FAST", 64, 64, "Mono8", 0.0);
}

// A host that reads the frame fields, as hosts do.
class ReadingHost : public IPoolCallback {
public:
    int OnFrameReady(ICameraObject* camera) override {
        sum += camera->m_nWidth + camera->m_nHeight + camera->m_nFrameId + camera->m_pImageData[0];
        counter.add();
        return 0;
    }
    FrameCounter counter{kFramesPerIteration};
    std::atomic<long> sum{0};
};

void runPlugin(benchmark::State& state) {
    useFastCamera();
    tagQZ_CAMERA_OPTION option;
    option.strCameraName = "baumer FAST";
    ReadingHost host;
    {
        CCameraBaumer camera(&option, &host);
        camera.IOpenCamera();
        camera.m_nReqMode = MODE_CONTINUOUS;
        camera.IStartCamera();
        long target = 0;
        for (auto _ : state) {
            target += kFramesPerIteration;
            host.counter.waitFor(target);
        }
        camera.IStopCamera();
        camera.ICloseCamera();
    }
    state.SetItemsProcessed(state.iterations() * kFramesPerIteration);
    simcam::reset();
}

void BM_PluginDelivery(benchmark::State& state) {
    QLoggingCategory::setFilterRules("*.debug=false");
    runPlugin(state);
}

FILE* g_sink = nullptr;
void printToSink(QtMsgType, const QMessageLogContext& context, const QString& text) {
    std::fprintf(g_sink, "%s:%d %s\n", context.file, context.line, text.toLocal8Bit().constData());
}

void BM_PluginDeliveryDebugPrinted(benchmark::State& state) {
    QLoggingCategory::setFilterRules("*.debug=true");
    g_sink = std::fopen("/dev/null", "w");
    QtMessageHandler previous = qInstallMessageHandler(printToSink);
    runPlugin(state);
    qInstallMessageHandler(previous);
    std::fclose(g_sink);
    QLoggingCategory::setFilterRules("*.debug=false");
}

FrameCounter g_sdkCounter{kFramesPerIteration};
std::atomic<long> g_sdkSum{0};

// The same reads and the re-queue, straight on the SDK's delivery thread.
void sdkHandler(void*, BGAPI2::Buffer* buffer) {
    g_sdkSum += static_cast<long>(buffer->GetWidth() + buffer->GetHeight() + buffer->GetFrameID()) +
                static_cast<unsigned char*>(buffer->GetMemPtr())[0];
    buffer->GetPixelFormat();
    buffer->QueueBuffer();
    g_sdkCounter.add();
}

void BM_SdkHandlerDelivery(benchmark::State& state) {
    useFastCamera();
    {
        SdkCamera camera(nullptr, sdkHandler);
        camera.device->GetRemoteNode("TriggerMode")->SetString("Off");
        camera.start();
        long target = g_sdkCounter.frames();
        for (auto _ : state) {
            target += kFramesPerIteration;
            g_sdkCounter.waitFor(target);
        }
    }
    state.SetItemsProcessed(state.iterations() * kFramesPerIteration);
    simcam::reset();
}

BENCHMARK(BM_SdkHandlerDelivery)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PluginDelivery)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PluginDeliveryDebugPrinted)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    return runBenchmarks(argc, argv,
                         {{"plug-in fps / SDK handler fps (debug filtered)",
                           "BM_PluginDelivery/min_time:2.000/real_time",
                           "BM_SdkHandlerDelivery/min_time:2.000/real_time", true},
                          {"plug-in fps / SDK handler fps (debug line printed)",
                           "BM_PluginDeliveryDebugPrinted/min_time:2.000/real_time",
                           "BM_SdkHandlerDelivery/min_time:2.000/real_time", true}});
}
