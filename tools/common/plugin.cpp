#include "plugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString defaultPluginPath() {
    const QDir here(QCoreApplication::applicationDirPath());
    const QString beside = here.filePath(QZCAM_DEFAULT_PLUGIN);
    const QString installed =
        here.filePath(QString("../%1/%2").arg(QZCAM_INSTALLED_PLUGIN_DIR, QZCAM_DEFAULT_PLUGIN));
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside
                                                                      : QDir::cleanPath(installed);
}

bool Plugin::load(const QString& path, QString* error) {
    if (!QFileInfo::exists(path)) {
        *error = "plug-in not found: " + path;
        return false;
    }
    m_library.setFileName(path);
    if (!m_library.load()) {
        *error = "cannot load plug-in " + path + ": " + m_library.errorString();
        return false;
    }
    m_create = reinterpret_cast<CreateFn>(m_library.resolve("Camera_Create"));
    m_delete = reinterpret_cast<DeleteFn>(m_library.resolve("Camera_Delete"));
    if (m_create == nullptr || m_delete == nullptr) {
        *error = path + " is not a camera plug-in: Camera_Create or Camera_Delete is missing";
        return false;
    }
    return true;
}
