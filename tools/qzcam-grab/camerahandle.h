#pragma once

#include "cameraobject.h"
#include "plugin.h"

// Deletes the driver object on every way out, so no camera stays open.
struct CameraHandle {
    const Plugin& plugin;
    ICameraObject* camera;
    ~CameraHandle() {
        if (camera != nullptr) {
            camera->IStopCamera();
            camera->ICloseCamera();
            plugin.destroy(camera);
        }
    }
};

// A host that is never called: listing opens no camera.
class IdleHost : public IPoolCallback {
public:
    int OnFrameReady(ICameraObject*) override { return 0; }
};
