#include "viewerwindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cameraformat.h"
#include "frameview.h"

namespace {

struct ModeEntry {
    const char* label;
    int mode;
};
const ModeEntry kModes[] = {{"free run", MODE_CONTINUOUS},
                            {"hardware trigger", MODE_EXTERNAL_TRIGGER},
                            {"frame limit", MODE_FRAME_LIMIT},
                            {"software trigger", MODE_SOFT_TRIGGER}};

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

}  // namespace

ViewerWindow::ViewerWindow(const Plugin& plugin, QWidget* parent)
    : QWidget(parent), m_plugin(plugin) {
    setWindowTitle("qzcam-view");
    m_camera = m_plugin.create(&m_option, &m_host);
    buildWidgets();
    connectWidgets();
    m_paintTimer.setInterval(30);
    m_paintTimer.start();
    m_statusTimer.setInterval(250);  // the counts walk the SDK's lists
    m_statusTimer.start();
    m_since.start();
    refreshCameras();
    updateControls();
}

ViewerWindow::~ViewerWindow() {
    m_paintTimer.stop();
    m_statusTimer.stop();
    if (m_camera != nullptr) {
        closeCamera();
        m_plugin.destroy(m_camera);
    }
}

void ViewerWindow::buildWidgets() {
    m_cameras = named(new QComboBox, "cameras");
    m_cameras->setMinimumContentsLength(24);
    m_refresh = named(new QPushButton("Refresh"), "refresh");
    m_openClose = named(new QPushButton("Open"), "openClose");
    m_mode = named(new QComboBox, "mode");
    for (const ModeEntry& entry : kModes) {
        m_mode->addItem(entry.label, entry.mode);
    }
    m_limit = named(new QSpinBox, "frameLimit");
    m_limit->setRange(1, 1000000);
    m_limit->setValue(100);
    m_limit->setPrefix("limit ");
    m_exposure = named(new QDoubleSpinBox, "exposure");
    m_exposure->setSuffix(" µs");
    m_exposure->setKeyboardTracking(false);
    m_startStop = named(new QPushButton("Start"), "startStop");
    m_trigger = named(new QPushButton("Trigger"), "trigger");
    m_snapshot = named(new QPushButton("Snapshot"), "snapshot");
    m_view = named(new FrameView, "view");
    m_status = named(new QLabel, "status");
    m_log = named(new QPlainTextEdit, "log");
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(500);
    m_log->setFixedHeight(80);

    auto* cameraRow = new QHBoxLayout;
    cameraRow->addWidget(m_cameras, 1);
    cameraRow->addWidget(m_refresh);
    cameraRow->addWidget(m_openClose);
    auto* controlRow = new QHBoxLayout;
    for (QWidget* widget :
         std::initializer_list<QWidget*>{m_mode, m_limit, new QLabel("exposure"), m_exposure,
                                         m_startStop, m_trigger, m_snapshot}) {
        controlRow->addWidget(widget);
    }
    controlRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(cameraRow);
    layout->addLayout(controlRow);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_status);
    layout->addWidget(m_log);
}

void ViewerWindow::connectWidgets() {
    connect(m_refresh, &QPushButton::clicked, this, [this] { refreshCameras(); });
    connect(m_openClose, &QPushButton::clicked, this, [this] {
        if (m_open) {
            closeCamera();
        } else {
            openCamera(m_cameras->currentText());
        }
    });
    connect(m_startStop, &QPushButton::clicked, this, [this] {
        if (m_grabbing) {
            stop();
        } else {
            start();
        }
    });
    connect(m_trigger, &QPushButton::clicked, this, [this] { m_camera->ISendSoftTrigger(); });
    connect(m_snapshot, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(this, "Snapshot", "snapshot.png", "PNG pictures (*.png)");
        if (!path.isEmpty()) {
            saveSnapshot(path);
        }
    });
    connect(m_exposure, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            [this](double value) { applyExposure(value); });
    connect(&m_paintTimer, &QTimer::timeout, this, [this] { showNewestFrame(); });
    connect(&m_statusTimer, &QTimer::timeout, this, [this] { updateStatus(); });
}

void ViewerWindow::refreshCameras() {
    const QString current = m_cameras->currentText();
    m_cameras->clear();
    m_cameras->addItems(m_camera->IEnumAvailableCameras());
    const int index = m_cameras->findText(current);
    if (index >= 0) {
        m_cameras->setCurrentIndex(index);
    }
}

QString ViewerWindow::serial() const {
    return m_option.strCameraName.section(' ', 1);
}

bool ViewerWindow::openCamera(const QString& name) {
    closeCamera();
    const int index = m_cameras->findText(name);
    if (index >= 0) {
        m_cameras->setCurrentIndex(index);
    }
    m_option.strCameraName = name;
    m_host.reset();
    m_open = m_camera->IOpenCamera() == 1;
    if (m_open) {
        int depth = 8;
        const FrameLayout layout = frameLayoutOf(cameraPixelFormat(serial()), &depth);
        m_host.setLayout(layout, depth);
        ExposureRange range;
        const bool hasExposure = cameraExposureRange(serial(), &range);
        const QSignalBlocker quiet(m_exposure);
        m_exposure->setEnabled(hasExposure);
        m_exposure->setRange(range.min, range.max);
        m_exposure->setValue(range.value);
    } else {
        appendLog("cannot open " + name);
    }
    updateControls();
    return m_open;
}

void ViewerWindow::closeCamera() {
    if (m_open) {
        m_camera->IStopCamera();
        m_camera->ICloseCamera();
    }
    m_open = false;
    m_grabbing = false;
    m_camera->m_nCurMode = 0;  // the next start sets its mode up again
    updateControls();
}

bool ViewerWindow::start() {
    const int mode = m_mode->currentData().toInt();
    m_camera->m_nFrameLimit = static_cast<std::uint32_t>(m_limit->value());
    m_camera->m_nReqMode = mode;
    if (m_camera->m_nCurMode == mode) {
        m_camera->m_nCurMode = 0;  // after a stop: set the mode up again
    }
    m_grabbing = m_camera->IStartCamera() == 1 && m_camera->m_bGrabbing;
    if (!m_grabbing) {
        appendLog("cannot start " + m_option.strCameraName);
    }
    updateControls();
    return m_grabbing;
}

void ViewerWindow::stop() {
    m_camera->IStopCamera();
    m_grabbing = false;
    updateControls();
}

bool ViewerWindow::saveSnapshot(const QString& path) {
    const bool saved = !m_view->image().isNull() && m_view->image().save(path, "PNG");
    if (!saved) {
        appendLog("cannot write " + path);
    }
    return saved;
}

void ViewerWindow::appendLog(const QString& line) {
    m_log->appendPlainText(line);
}

void ViewerWindow::applyExposure(double value) {
    tagQZ_CAMERA_PROPERTY property{PROPERTY_EXPOSURE_TIME, static_cast<int>(value)};
    m_camera->ISetProperty(&property);
}

void ViewerWindow::showNewestFrame() {
    QImage image;
    if (m_host.takeNewest(&image)) {
        m_view->show(image);
    }
}

void ViewerWindow::updateStatus() {
    const ViewerHost::Counts counts = m_host.counts();
    if (m_since.elapsed() >= 1000) {
        m_fps = (counts.frames - m_framesAtLastStatus) * 1000.0 / m_since.restart();
        m_framesAtLastStatus = counts.frames;
    }
    QString text = QString("frames %1  fps %2  lost %3  not shown %4")
                       .arg(counts.frames)
                       .arg(m_fps, 0, 'f', 1)
                       .arg(counts.lost)
                       .arg(counts.dropped);
    BGAPI2::StreamStatistics stream;
    if (m_open && cameraStreamStatistics(serial(), &stream)) {
        text += QString("  |  stream incomplete %1  lost %2  resent %3  missing %4")
                    .arg(stream.incomplete)
                    .arg(stream.lost)
                    .arg(stream.resentPackets)
                    .arg(stream.missingPackets);
    }
    m_status->setText(text);
}

void ViewerWindow::updateControls() {
    m_openClose->setText(m_open ? "Close" : "Open");
    m_cameras->setEnabled(!m_open);
    m_startStop->setEnabled(m_open);
    m_startStop->setText(m_grabbing ? "Stop" : "Start");
    m_mode->setEnabled(m_open && !m_grabbing);
    m_trigger->setEnabled(m_grabbing && m_mode->currentData().toInt() == MODE_SOFT_TRIGGER);
    m_snapshot->setEnabled(m_open);
    m_exposure->setEnabled(m_open && m_exposure->maximum() > m_exposure->minimum());
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
    m_paintTimer.stop();
    m_statusTimer.stop();
    closeCamera();
    event->accept();
}
