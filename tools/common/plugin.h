#pragma once

#include <QLibrary>
#include <QString>

#include "cameraobject.h"

// The plug-in a tool loads unless told otherwise: beside it in a build tree,
// in the plug-in directory once installed.
QString defaultPluginPath();

// The plug-in file, loaded the way a host loads it: by path, then the two
// entry points by name.
class Plugin {
public:
    using CreateFn = ICameraObject* (*)(tagQZ_CAMERA_OPTION*, IPoolCallback*);
    using DeleteFn = void (*)(ICameraObject*);

    bool load(const QString& path, QString* error);
    ICameraObject* create(tagQZ_CAMERA_OPTION* option, IPoolCallback* callback) const {
        return m_create(option, callback);
    }
    void destroy(ICameraObject* camera) const { m_delete(camera); }

private:
    QLibrary m_library;
    CreateFn m_create = nullptr;
    DeleteFn m_delete = nullptr;
};
