// The grab tool run as a process, the way an integrator runs it.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>

namespace {

struct ToolRun {
    int exitCode;
    QString out;
    QString err;
};

const char* const kConfig = R"({
  "cameras": [
    {"serial": "T-MONO", "width": 64, "height": 48, "pixelFormat": "Mono8", "frameRate": 200},
    {"serial": "T-BAYER", "width": 80, "height": 64, "pixelFormat": "BayerRG8", "frameRate": 200,
     "firstFrameId": 4294967290,
     "exposure": "ExposureTimeAbs", "exposureMin": 20, "exposureMax": 900},
    {"serial": "T-LINE", "width": 32, "height": 32, "pixelFormat": "Mono12", "linePulseRate": 100},
    {"serial": "T-QUIET", "width": 32, "height": 32, "pixelFormat": "Mono8"}
  ]
})";

class GrabTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile file(dir.filePath("cameras.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kConfig);
    }

    ToolRun run(const QStringList& arguments, const QString& config = QString()) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SIMCAM_CONFIG", config.isEmpty() ? dir.filePath("cameras.json") : config);
        process.setProcessEnvironment(env);
        process.start(QZCAM_GRAB_PATH, arguments);
        EXPECT_TRUE(process.waitForFinished(60000)) << "the tool hung";
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

    // A configuration file of this text, by its path.
    QString configFile(const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(GrabTool, ListsTheCameras) {
    const ToolRun r = run({"--list"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "baumer T-MONO\nbaumer T-BAYER\nbaumer T-LINE\nbaumer T-QUIET\n");
}

TEST_F(GrabTool, FreeRunSavesColourPngsAndSummarises) {
    const QString saveDir = dir.filePath("frames");
    const ToolRun r = run({"--camera", "baumer T-BAYER", "--frames", "20", "--save", saveDir,
                           "--save-every", "10", "--exposure", "500"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QRegularExpression summary(
        "camera baumer T-BAYER  format BayerRG8  size 80x64  frames 20  rate [0-9.]+ fps  lost "
        "0\n");
    EXPECT_TRUE(summary.match(r.out).hasMatch()) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("frames 20")) << "progress line";
    const QRegularExpression counters(
        "stream delivered [0-9]+  incomplete 0  lost [0-9]+  resent packets 0  missing packets "
        "0\n");
    EXPECT_TRUE(counters.match(r.out).hasMatch()) << r.out.toStdString();
    // Named by the count of frames received: the camera's ids wrap here.
    const QStringList files = QDir(saveDir).entryList({"frame-*.png"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files, QStringList({"frame-0000000000.png", "frame-0000000010.png"}));
    QImage image(QDir(saveDir).filePath(files.first()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(80, 64));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(255, 255, 255)) << "white bar";
    EXPECT_EQ(image.pixelColor(55, 10), QColor(255, 0, 0)) << "red bar";
    EXPECT_EQ(image.pixelColor(65, 10), QColor(0, 0, 255)) << "blue bar";
    EXPECT_TRUE(r.out.contains("saved 2 frames to"));
}

TEST_F(GrabTool, InterruptStopsClosesAndSummarises) {
    for (int signal : {SIGINT, SIGTERM}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SIMCAM_CONFIG", dir.filePath("cameras.json"));
        process.setProcessEnvironment(env);
        process.start(QZCAM_GRAB_PATH, {"--camera", "baumer T-MONO", "--frames", "1000000"});
        ASSERT_TRUE(process.waitForStarted());
        process.setReadChannel(QProcess::StandardError);
        QString err;
        while (!err.contains("frames ") && process.waitForReadyRead(5000)) {
            err += QString::fromLocal8Bit(process.readAllStandardError());
        }
        ASSERT_TRUE(err.contains("frames ")) << "no progress before the signal";
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130);
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        err += QString::fromLocal8Bit(process.readAllStandardError());
        EXPECT_TRUE(out.contains("camera baumer T-MONO  format Mono8")) << out.toStdString();
        EXPECT_TRUE(out.contains("stream delivered")) << out.toStdString();
        EXPECT_TRUE(err.contains("interrupted: camera stopped and closed")) << err.toStdString();
    }
}

TEST_F(GrabTool, SoftwareTriggerAndMonoPictures) {
    const QString saveDir = dir.filePath("mono");
    const ToolRun r = run({"--camera", "BAUMER T-MONO", "--mode", "software", "--trigger-rate",
                           "100", "--frames", "5", "--save", saveDir, "--save-every", "5"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("frames 5  rate")) << r.out.toStdString();
    const QStringList files = QDir(saveDir).entryList({"*.png"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QImage image(QDir(saveDir).filePath(files.first()));
    EXPECT_TRUE(image.isGrayscale());
    EXPECT_EQ(image.size(), QSize(64, 48));
    EXPECT_EQ(qGray(image.pixel(0, 0)), 255);
    EXPECT_EQ(qGray(image.pixel(63, 0)), 0);
}

TEST_F(GrabTool, HardwareModeFollowsTheLineAndLimitModeStops) {
    ToolRun r = run({"--camera", "baumer T-LINE", "--mode", "hardware", "--frames", "5"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("format Mono12")) << r.out.toStdString();
    r = run(
        {"--camera", "baumer T-MONO", "--mode", "limit", "--frame-limit", "4", "--frames", "50"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("frames 4  rate")) << r.out.toStdString();
}

TEST_F(GrabTool, ClearErrorsAndExitCodes) {
    ToolRun r = run({"--plugin", dir.filePath("missing.so")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("plug-in not found")) << r.err.toStdString();
    r = run({"--plugin", dir.filePath("cameras.json")});
    EXPECT_EQ(r.exitCode, 2);
    r = run({"--camera", "baumer NOPE", "--frames", "1"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.err.contains("cannot open camera 'baumer NOPE'")) << r.err.toStdString();
    for (const QStringList& bad :
         {QStringList{"--mode", "fast"}, QStringList{"--frames", "0"}, QStringList{"--frames", "x"},
          QStringList{"--mode", "limit"}, QStringList{"--trigger-rate", "-1"},
          QStringList{"--trigger-rate", "1e-300"}, QStringList{"--feature", "=3"},
          QStringList{"--bogus"}}) {
        r = run(bad);
        EXPECT_EQ(r.exitCode, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("error: ")) << r.err.toStdString();
    }
}

// A frame that cannot be written ends the grab with its own code (here the
// first file's name is taken by a directory: root may write anywhere else).
TEST_F(GrabTool, FrameThatCannotBeWrittenEndsWithSix) {
    const QString saveDir = dir.filePath("blocked");
    ASSERT_TRUE(QDir().mkpath(saveDir + "/frame-0000000000.png"));
    const ToolRun r = run({"--camera", "baumer T-MONO", "--frames", "20", "--save", saveDir});
    EXPECT_EQ(r.exitCode, 6) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("error: cannot write")) << r.err.toStdString();
}

TEST_F(GrabTool, NoFrameWithinTheTimeOutSaysSo) {
    const ToolRun r = run(
        {"--camera", "baumer T-QUIET", "--mode", "hardware", "--frames", "3", "--timeout", "0.3"});
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_TRUE(r.err.contains("no frame within 0.3 s")) << r.err.toStdString();
}

// A configuration that cannot be used ends the tool before any camera is
// listed, with one line naming the file and what is wrong.
TEST_F(GrabTool, UnusableConfigurationEndsWithSevenAndSaysWhy) {
    const std::pair<QString, QString> cases[] = {
        {dir.filePath("missing.json"), "cannot read: "},
        {dir.path(), "is a directory, not a JSON file"},
        {configFile("malformed.json", R"({"cameras": [{"serial": "A"})"), "line 1, column "},
        {configFile("array.json", R"([{"serial": "A"}])"), "the top level must be an object"},
        {configFile("noserial.json", R"({"cameras": [{"width": 64}]})"),
         "cameras[0]: needs \"serial\""},
        {configFile("negative.json", R"({"cameras": [{"serial": "A", "height": -1}]})"),
         "camera \"A\": \"height\" must be a whole number from 1 to 32768, not -1"},
        {configFile("slow.json", R"({"cameras": [{"serial": "A", "frameRate": 1e-12}]})"),
         "camera 'A': frameRate must be finite"},
        {configFile("typo.json", R"({"cameras": [{"serial": "A", "heigth": 48}]})"),
         "camera \"A\": unknown key \"heigth\""}};
    for (const auto& [path, reason] : cases) {
        for (const QStringList& arguments : {QStringList{"--list"}, QStringList{"--frames", "1"}}) {
            const ToolRun r = run(arguments, path);
            EXPECT_EQ(r.exitCode, 7) << path.toStdString();
            EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
            EXPECT_TRUE(r.err.startsWith("error: SIMCAM_CONFIG: " + path + ": " + reason))
                << r.err.toStdString();
            EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        }
    }
}

TEST_F(GrabTool, ListWarnsOfNamesThatCannotBeOpenedAsListed) {
    const QString config =
        configFile("clones.json", R"({"cameras": [{"serial": "CLONE", "id": "left"},
                                       {"serial": "CLONE", "id": "right"},
                                       {"serial": "HAS BLANK"}, {"serial": "FINE"}]})");
    const ToolRun r = run({"--list"}, config);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "baumer CLONE\nbaumer CLONE\nbaumer HAS BLANK\nbaumer FINE\n");
    EXPECT_TRUE(
        r.err.contains("warning: \"baumer CLONE\" names 2 cameras, ids \"left\" and "
                       "\"right\": only one of them can be opened"))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(
        "warning: \"baumer HAS BLANK\" cannot be opened by name: its serial number has a blank"))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("FINE"));
}

// The packed, deep and YCbCr formats as an integrator sees them: the saved
// picture shows the test picture's bars, in grey for mono.
TEST_F(GrabTool, SavedPicturesOfTheNewerFormatsShowTheBars) {
    const char* const formats[] = {"Mono12p",    "Mono10Packed", "BayerGB12p", "BayerRG10Packed",
                                   "BayerBG14",  "RGB12",        "BGR10",      "YCbCr422_8",
                                   "YCbCr411_8", "YUV8_UYV"};
    const QRgb bars[8] = {qRgb(255, 255, 255), qRgb(255, 255, 0), qRgb(0, 255, 255),
                          qRgb(0, 255, 0),     qRgb(255, 0, 255), qRgb(255, 0, 0),
                          qRgb(0, 0, 255),     qRgb(0, 0, 0)};
    for (const char* format : formats) {
        SCOPED_TRACE(format);
        const QString config =
            configFile(QString("%1.json").arg(format),
                       QString(R"({"cameras": [{"serial": "F", "width": 64, "height": 48,
                        "pixelFormat": "%1"}]})")
                           .arg(format)
                           .toUtf8());
        const QString saveDir = dir.filePath(format);
        const ToolRun r =
            run({"--camera", "baumer F", "--mode", "software", "--frames", "1", "--save", saveDir},
                config);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList files = QDir(saveDir).entryList({"*.png"}, QDir::Files);
        ASSERT_EQ(files.size(), 1);
        const QImage image(QDir(saveDir).filePath(files.first()));
        ASSERT_EQ(image.size(), QSize(64, 48));
        const bool mono = QString(format).startsWith("Mono");
        EXPECT_EQ(image.isGrayscale(), mono);
        for (int bar = 0; bar < 8; ++bar) {
            const QRgb got = image.pixel(bar * 8 + 4, 12);
            const QRgb want = bars[bar];
            if (mono) {
                const int luma = (77 * qRed(want) + 150 * qGreen(want) + 29 * qBlue(want)) >> 8;
                EXPECT_NEAR(qGray(got), luma, 1) << "bar " << bar;
                continue;
            }
            EXPECT_NEAR(qRed(got), qRed(want), 4) << "bar " << bar;
            EXPECT_NEAR(qGreen(got), qGreen(want), 4) << "bar " << bar;
            EXPECT_NEAR(qBlue(got), qBlue(want), 4) << "bar " << bar;
        }
    }
}

TEST_F(GrabTool, PixelFormatFeatureReopensSoThatBuffersFitTheFormat) {
    const ToolRun r = run({"--camera", "baumer T-MONO", "--mode", "software", "--frames", "2",
                           "--feature", "PixelFormat=Mono12p"},
                          configFile("deep.json", R"({"cameras": [{"serial": "T-MONO",
                              "width": 64, "height": 48, "pixelFormat": "Mono8",
                              "pixelFormats": ["Mono8", "Mono12p"]}]})"));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("format Mono12p  size 64x48  frames 2")) << r.out.toStdString();
    EXPECT_FALSE(r.err.contains("not delivered")) << r.err.toStdString();
}

TEST_F(GrabTool, ExposureOutsideTheCameraRangeEndsWithFourAndTheRange) {
    const ToolRun r = run({"--camera", "baumer T-BAYER", "--frames", "1", "--exposure", "5000"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_TRUE(r.err.contains("error: exposure 5000 is outside the camera's range 20 to 900"))
        << r.err.toStdString();
}
