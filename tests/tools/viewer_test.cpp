// The viewer on the offscreen platform: the live picture, the software
// trigger button and closing while frames flow.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>

#include <memory>

#include "eventually.h"
#include "frameview.h"
#include "simcam/simcam.h"
#include "viewerwindow.h"

namespace {

// Runs the event loop while waiting, as the window needs it to paint.
template <typename Condition>
bool eventuallyWithEvents(Condition condition, int timeoutMs = 5000) {
    return eventually(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        timeoutMs);
}

class Viewer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "viewer_tests";
        static char* argv[] = {name, nullptr};
        s_app = new QApplication(argc, argv);
        QString error;
        ASSERT_TRUE(s_plugin.load(QZCAM_PLUGIN_PATH, &error)) << error.toStdString();
    }

    static void TearDownTestSuite() {
        delete s_app;
        s_app = nullptr;
    }

    void SetUp() override {
        simcam::reset();
        window = std::make_unique<ViewerWindow>(s_plugin);
        window->resize(800, 600);
        window->show();
    }

    void TearDown() override { window.reset(); }

    template <typename T>
    T* child(const char* name) {
        T* widget = window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void openAndStart(const QString& camera, const QString& mode) {
        ASSERT_TRUE(window->openCamera(camera));
        QComboBox* modes = child<QComboBox>("mode");
        modes->setCurrentIndex(modes->findText(mode));
        ASSERT_TRUE(window->start());
    }

    static inline QApplication* s_app = nullptr;
    static inline Plugin s_plugin;
    std::unique_ptr<ViewerWindow> window;
};

// The test picture's eight bars across the top half.
const QColor kBars[] = {Qt::white,   Qt::yellow, Qt::cyan, Qt::green,
                        Qt::magenta, Qt::red,    Qt::blue, Qt::black};

}  // namespace

TEST_F(Viewer, ColourBarsOfTheBayerCameraShowInOrder) {
    openAndStart("baumer SIM-BAYER-0002", "free run");
    ASSERT_TRUE(eventuallyWithEvents(
        [&] { return window->framesReceived() >= 5 && !window->view()->image().isNull(); }));
    const QImage shot = window->view()->grab().toImage();
    const QRect picture = window->view()->imageRect();
    ASSERT_GT(picture.width(), 100);
    for (int bar = 0; bar < 8; ++bar) {
        const QPoint at(picture.left() + (2 * bar + 1) * picture.width() / 16,
                        picture.top() + picture.height() / 4);
        const QColor seen = shot.pixelColor(at);
        const QColor want = kBars[bar];
        EXPECT_NEAR(seen.red(), want.red(), 40) << "bar " << bar;
        EXPECT_NEAR(seen.green(), want.green(), 40) << "bar " << bar;
        EXPECT_NEAR(seen.blue(), want.blue(), 40) << "bar " << bar;
    }
}

TEST_F(Viewer, SoftwareTriggerButtonGivesOneFramePerClick) {
    openAndStart("baumer SIM-MONO-0001", "software trigger");
    QPushButton* trigger = child<QPushButton>("trigger");
    ASSERT_TRUE(trigger->isEnabled());
    for (std::uint64_t click = 1; click <= 3; ++click) {
        trigger->click();
        ASSERT_TRUE(eventuallyWithEvents([&] { return window->framesReceived() >= click; }));
        eventuallyWithEvents([] { return false; }, 150);
        EXPECT_EQ(window->framesReceived(), click);
    }
    EXPECT_FALSE(window->view()->image().isNull());
}

TEST_F(Viewer, ClosingTheWindowWhileFramesFlowEndsCleanly) {
    openAndStart("baumer SIM-BAYER-0002", "free run");
    ASSERT_TRUE(eventuallyWithEvents([&] { return window->framesReceived() >= 3; }));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(simcam::isOpen("SIM-BAYER-0002"));
    const std::uint64_t frames = window->framesReceived();
    eventuallyWithEvents([] { return false; }, 100);
    EXPECT_EQ(window->framesReceived(), frames);
    window.reset();
}
