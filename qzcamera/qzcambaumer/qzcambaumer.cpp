#include <QDebug>

#include "camerabaumer.h"

#define QZCAM_EXPORT extern "C" __attribute__((visibility("default")))

QZCAM_EXPORT ICameraObject* Camera_Create(tagQZ_CAMERA_OPTION* option, IPoolCallback* callback) {
    qWarning() << "create baumer camera...";
    return new CCameraBaumer(option, callback);
}

QZCAM_EXPORT void Camera_Delete(ICameraObject* camera) {
    delete camera;
}
