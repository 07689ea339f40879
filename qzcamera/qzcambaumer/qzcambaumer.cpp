#include <QDebug>

#include "camerabaumer.h"
#include "hostboundary.h"

#define QZCAM_EXPORT extern "C" __attribute__((visibility("default")))

// Null when the object cannot be made (out of memory).
QZCAM_EXPORT ICameraObject* Camera_Create(tagQZ_CAMERA_OPTION* option, IPoolCallback* callback) {
    qWarning() << "create baumer camera...";
    return guardBoundary("Camera_Create", static_cast<ICameraObject*>(nullptr),
                         [option, callback] { return new CCameraBaumer(option, callback); });
}

// From inside the camera's own frame callback the deletion may be finished
// by the thread that is changing the camera; the object must not be used
// after this returns either way.
QZCAM_EXPORT void Camera_Delete(ICameraObject* camera) {
    if (camera == nullptr) {
        return;
    }
    guardBoundary("Camera_Delete", [camera] { static_cast<CCameraBaumer*>(camera)->destroy(); });
}
