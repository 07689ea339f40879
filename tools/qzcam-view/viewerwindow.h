#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include "plugin.h"
#include "viewerhost.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class FrameView;

// Drives the plug-in only through the host interface: camera list, open and
// close, mode, exposure, start and stop, software trigger, live picture,
// counts and snapshots. Widgets carry object names for scripts and tests.
class ViewerWindow : public QWidget {
public:
    explicit ViewerWindow(const Plugin& plugin, QWidget* parent = nullptr);
    ~ViewerWindow() override;

    void refreshCameras();
    bool openCamera(const QString& name);
    void closeCamera();
    bool start();
    void stop();
    bool saveSnapshot(const QString& path);
    // A line for the log pane: the plug-in's critical lines, the viewer's own.
    void appendLog(const QString& line);

    FrameView* view() const { return m_view; }
    std::uint64_t framesReceived() { return m_host.counts().frames; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWidgets();
    void connectWidgets();
    void showNewestFrame();
    void updateStatus();
    void updateControls();
    void applyExposure(double value);
    QString serial() const;

    const Plugin& m_plugin;
    tagQZ_CAMERA_OPTION m_option;
    ViewerHost m_host;
    ICameraObject* m_camera = nullptr;
    bool m_open = false;
    bool m_grabbing = false;
    QTimer m_paintTimer;
    QTimer m_statusTimer;
    QElapsedTimer m_since;
    std::uint64_t m_framesAtLastStatus = 0;
    double m_fps = 0;

    QComboBox* m_cameras;
    QPushButton* m_refresh;
    QPushButton* m_openClose;
    QComboBox* m_mode;
    QSpinBox* m_limit;
    QDoubleSpinBox* m_exposure;
    QPushButton* m_startStop;
    QPushButton* m_trigger;
    QPushButton* m_snapshot;
    FrameView* m_view;
    QLabel* m_status;
    QPlainTextEdit* m_log;
};
