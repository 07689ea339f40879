// Loads the installed plug-in as a host does, linking nothing of it, and
// waits for one software-triggered frame from the default mono camera.
#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "cameraobject.h"

namespace {

class OneFrame : public IPoolCallback {
public:
    int OnFrameReady(ICameraObject* camera) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (camera->m_pImageData != nullptr) {
            width = camera->m_nWidth;
            height = camera->m_nHeight;
        }
        cv.notify_all();
        return 0;
    }
    std::mutex mutex;
    std::condition_variable cv;
    int width = 0;
    int height = 0;
};

}  // namespace

int main() {
    void* plugin = dlopen(PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (plugin == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    using CreateFn = ICameraObject* (*)(tagQZ_CAMERA_OPTION*, IPoolCallback*);
    using DeleteFn = void (*)(ICameraObject*);
    auto create = reinterpret_cast<CreateFn>(dlsym(plugin, "Camera_Create"));
    auto destroy = reinterpret_cast<DeleteFn>(dlsym(plugin, "Camera_Delete"));
    if (create == nullptr || destroy == nullptr) {
        std::fprintf(stderr, "not a camera plug-in\n");
        return 1;
    }
    tagQZ_CAMERA_OPTION option;
    option.strCameraName = "baumer SIM-MONO-0001";
    OneFrame host;
    ICameraObject* camera = create(&option, &host);
    bool got = false;
    if (camera->IOpenCamera() == 1) {
        camera->m_nReqMode = MODE_SOFT_TRIGGER;
        camera->IStartCamera();
        camera->ISendSoftTrigger();
        std::unique_lock<std::mutex> lock(host.mutex);
        got = host.cv.wait_for(lock, std::chrono::seconds(5), [&] { return host.width > 0; });
    }
    destroy(camera);
    if (!got) {
        std::fprintf(stderr, "no frame from %s\n", qPrintable(option.strCameraName));
        return 1;
    }
    std::printf("frame %dx%d\n", host.width, host.height);
    return 0;
}
