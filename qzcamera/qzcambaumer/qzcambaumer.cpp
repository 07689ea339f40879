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

QZCAM_EXPORT void Camera_Delete(ICameraObject* camera) {
    delete camera;
}
