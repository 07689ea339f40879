#include "driverfixture.h"

TEST_F(DriverTest, ReportIsThreeCriticalLinesWithTheCatchingContext) {
    CCameraBaumer* camera = make();
    BGAPI2::System* system = CCameraBaumer::s_pSystemList->begin()->second;
    simcam::injectFailure(failOn("System::IsOpen"));
    EXPECT_FALSE(camera->openSystem(system));
    const auto lines = log.lines(QtCriticalMsg);
    ASSERT_EQ(lines.size(), 3u);
    expectReportOf("openSystem", "System::IsOpen");
    for (const auto& line : lines) {
        EXPECT_NE(line.file.find("qzcamera/qzcambaumer/camerabaumer_discovery.cpp"),
                  std::string::npos);
        EXPECT_EQ(line.line, lines[0].line);
        EXPECT_EQ(line.function, "bool CCameraBaumer::openSystem(BGAPI2::System*)");
    }
}

TEST_F(DriverTest, EmptyExceptionTextsStillGiveLabelledLines) {
    CCameraBaumer* camera = make();
    simcam::Failure failure = failOn("System::IsOpen");
    failure.type = "";
    failure.description = "";
    failure.function = "";
    failure.kind = simcam::FailureKind::NotAvailable;
    simcam::injectFailure(failure);
    camera->openSystem(CCameraBaumer::s_pSystemList->begin()->second);
    expectReport("openSystem", "NotAvailableException", "", "System::IsOpen");

    // The accessors of a hand-made exception may return nothing at all.
    BGAPI2::Exceptions::ErrorException blank("", "", "");
    reportSdkException(blank, "openSystem", QMessageLogContext("f.cpp", 7, "fn", "default"));
    const auto lines = log.lines(QtCriticalMsg);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3].text, "ExceptionType:        - CCameraBaumer::openSystem");
    EXPECT_EQ(lines[4].text, "ErrorDescription:     - CCameraBaumer::openSystem");
    EXPECT_EQ(lines[5].text, "in function:          - CCameraBaumer::openSystem");
    EXPECT_EQ(lines[5].line, 7);
}

TEST_F(DriverTest, ReportConvertsUtf8TextsWithoutQuotes) {
    BGAPI2::Exceptions::ErrorException ex("Typ\xC3\xA4", "Belichtung \"zu\" lang",
                                          "Node::SetDouble");
    reportSdkException(ex, "ISetProperty", QMessageLogContext("f.cpp", 1, "fn", "default"));
    expectReport("ISetProperty", "Typ\xC3\xA4", "Belichtung \"zu\" lang", "Node::SetDouble");
}
