#pragma once

class ICameraObject;

// Frame callback implemented by the host. OnFrameReady must stay the third
// entry of the virtual table: hosts built elsewhere call it by slot, so no
// virtual destructor may come before it.
class IPoolCallback {
public:
    virtual void OnCameraEvent(ICameraObject* camera, int event) {
        (void)camera;
        (void)event;
    }
    virtual void OnCameraError(ICameraObject* camera, int error) {
        (void)camera;
        (void)error;
    }
    virtual int OnFrameReady(ICameraObject* camera) = 0;

protected:
    ~IPoolCallback() = default;
};
