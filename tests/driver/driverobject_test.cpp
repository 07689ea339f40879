// Creating and deleting driver objects: the shared system list, the image
// processor, and their failures.
#include "driverfixture.h"

TEST_F(DriverTest, ObjectsShareOneSystemListUntilTheLastIsDeleted) {
    CCameraBaumer* first = make();
    BGAPI2::SystemList* list = CCameraBaumer::s_pSystemList;
    ASSERT_NE(list, nullptr);
    EXPECT_NE(first->m_pImageProcessor, nullptr);
    CCameraBaumer* second = make();
    EXPECT_EQ(CCameraBaumer::s_pSystemList, list);
    EXPECT_EQ(CCameraBaumer::s_nSystemListRefs, 2);

    destroy(first);
    EXPECT_EQ(CCameraBaumer::s_nSystemListRefs, 1);
    EXPECT_EQ(CCameraBaumer::s_pSystemList, list);
    EXPECT_EQ(second->IEnumAvailableCameras(), (QList<QString>{"baumer CAM1", "baumer CAM2"}));

    simcam::setRecording(true);
    destroy(second);
    EXPECT_EQ(CCameraBaumer::s_pSystemList, nullptr);
    EXPECT_EQ(CCameraBaumer::s_nSystemListRefs, 0);
    const auto calls = simcam::recordedCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().operation, "SystemList::ReleaseInstance");

    simcam::clearRecordedCalls();
    make();
    EXPECT_EQ(CCameraBaumer::s_nSystemListRefs, 1);
    const auto again = simcam::recordedCalls();
    ASSERT_GE(again.size(), 2u);
    EXPECT_EQ(again[0].operation, "SystemList::GetInstance");
    EXPECT_EQ(again[1].operation, "SystemList::Refresh");
    EXPECT_TRUE(log.lines(QtCriticalMsg).empty());
}

TEST_F(DriverTest, EveryConstructionRefreshesTheSharedList) {
    make();
    simcam::setRecording(true);
    make();
    int refreshes = 0;
    for (const auto& call : simcam::recordedCalls())
        refreshes += call.operation == "SystemList::Refresh";
    EXPECT_EQ(refreshes, 1);
}

TEST_F(DriverTest, FailedRefreshStillCountsTheHolder) {
    make();
    simcam::injectFailure(failOn("SystemList::Refresh"));
    CCameraBaumer* second = make();
    expectReportOf("CCameraBaumer", "SystemList::Refresh");
    EXPECT_EQ(CCameraBaumer::s_nSystemListRefs, 2);
    destroy(objects.front().get());
    EXPECT_NE(CCameraBaumer::s_pSystemList, nullptr) << "the second object still holds the list";
    EXPECT_EQ(second->IEnumAvailableCameras().size(), 2);
}

TEST_F(DriverTest, FailuresInBothConstructorBlocksLeaveAUsableObject) {
    simcam::injectFailure(failOn("SystemList::GetInstance"));
    simcam::injectFailure(failOn("ImageProcessor::GetInstance"));
    CCameraBaumer* camera = make();
    const auto lines = log.lines(QtCriticalMsg);
    ASSERT_EQ(lines.size(), 6u);
    for (const auto& line : lines) {
        EXPECT_NE(line.text.find(" - CCameraBaumer::CCameraBaumer"), std::string::npos);
        EXPECT_NE(line.function.find("CCameraBaumer::CCameraBaumer("), std::string::npos);
    }
    expectReportOf("CCameraBaumer", "SystemList::GetInstance", 0);
    expectReportOf("CCameraBaumer", "ImageProcessor::GetInstance", 3);
    EXPECT_EQ(camera->m_pImageProcessor, nullptr);
    EXPECT_EQ(CCameraBaumer::s_pSystemList, nullptr);
    EXPECT_EQ(camera->IOpenCamera(), 0);
    EXPECT_EQ(log.lines(QtCriticalMsg).size(), 6u);
}

TEST_F(DriverTest, NoSystemListMeansOpenFailsUntilEnumerationObtainsIt) {
    simcam::setSystemListAvailable(false);
    CCameraBaumer* camera = make();
    EXPECT_EQ(CCameraBaumer::s_pSystemList, nullptr);
    EXPECT_EQ(CCameraBaumer::s_nSystemListRefs, 0);
    EXPECT_EQ(camera->IOpenCamera(), 0);
    EXPECT_EQ(log.matching(QtWarningMsg, "start open baumer camera...").size(), 1u);
    EXPECT_TRUE(camera->IEnumAvailableCameras().isEmpty());
    simcam::setSystemListAvailable(true);
    EXPECT_EQ(camera->IEnumAvailableCameras().size(), 2);
    EXPECT_EQ(CCameraBaumer::s_nSystemListRefs, 1) << "the enumerating object holds the list";
    EXPECT_EQ(camera->IOpenCamera(), 1);
}

TEST_F(DriverTest, ReleaseFailureInTheDestructorIsReportedAndClearsTheList) {
    CCameraBaumer* camera = make();
    simcam::injectFailure(failOn("SystemList::ReleaseInstance"));
    destroy(camera);
    expectReportOf("~CCameraBaumer", "SystemList::ReleaseInstance");
    EXPECT_EQ(log.lines(QtCriticalMsg)[0].function, "virtual CCameraBaumer::~CCameraBaumer()");
    EXPECT_EQ(CCameraBaumer::s_pSystemList, nullptr);
    BGAPI2::SystemList::ReleaseInstance();  // what the failed call left behind
}
