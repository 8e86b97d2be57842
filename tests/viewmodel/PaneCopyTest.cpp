#include "viewmodel/MainViewState.h"
#include "viewmodel/PaneCopy.h"

#include "recording/QuietUi.h"
#include "recording/RecordingSession.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace vmx;

namespace {

// A session whose left pane holds a database of two one-part recordings in `folder`.
void LoadTwoRecordings(RecordingSession& session, const vmxtest::TempDir& folder, QuietUi& ui)
{
    const std::string db = (folder / "DZT000.DB").string();
    ASSERT_EQ(session.init(), "");
    ASSERT_TRUE(session.createDatabase(db, ui).ok);
    ASSERT_TRUE(session.loadPane(kLeftSide, db, ui).ok);
    for (const char* name : {"Nature One", "News 24"}) {
        NewRecording recording;
        recording.name = name;
        recording.duration = 12;
        recording.vid = 512;
        const auto writeParts = [&](const std::string& prefix, std::vector<std::string>& names) {
            names.push_back(prefix + "AA.TRP");
            vmxtest::writeText(folder / names.back(), std::string(188 * 10, 'G'));
            return std::string();
        };
        ASSERT_TRUE(session.registerRecording(kLeftSide, recording, writeParts, ui).ok) << ui.lastMessage();
    }
    ASSERT_TRUE(session.savePane(kLeftSide, ui).ok);
}

}  // namespace

TEST(PaneCopyTest, CopiesThePanesAnOperationChanged)
{
    vmxtest::TempDir folder;
    QuietUi ui;
    RecordingSession session;
    LoadTwoRecordings(session, folder, ui);

    PaneRefresh refresh;
    refresh.pane(kLeftSide);
    const PaneCopies copies = CopyRefreshedPanes(session, refresh);
    EXPECT_FALSE(copies.panes[kRightSide]) << "the right pane was not changed";
    ASSERT_TRUE(copies.panes[kLeftSide]);
    const PaneCopy& left = *copies.panes[kLeftSide];
    EXPECT_TRUE(left.loaded);
    EXPECT_EQ(left.fileName, "DZT000.DB");
    EXPECT_EQ(left.dbKind, 0);
    ASSERT_EQ(left.rows.size(), 2u);
    EXPECT_EQ(left.rows[1].name, "News 24");
    EXPECT_EQ(left.rows[1].timing.totalSize, 1880u) << "measured from its part file";
    ASSERT_NE(left.detailsAt(1), nullptr);
    EXPECT_EQ(left.detailsAt(1)->folder, left.folder);
    EXPECT_EQ(left.detailsAt(1)->partNames, (std::vector<std::string>{"RF0002AA.TRP"}));
    EXPECT_EQ(left.detailsAt(1)->streams.vid, 512);
    EXPECT_EQ(left.detailsAt(2), nullptr);
    EXPECT_EQ(left.detailsAt(-1), nullptr);

    const PaneCopy right = CopyPane(session, kRightSide);
    EXPECT_FALSE(right.loaded);
    EXPECT_TRUE(right.rows.empty());

    // The view takes only the panes that were copied.
    MainViewState state;
    state.pane(kRightSide).fileName = "kept";
    state.take(copies);
    EXPECT_EQ(state.pane(kLeftSide).rows.size(), 2u);
    EXPECT_EQ(state.pane(kRightSide).fileName, "kept");
    state.activeSide = kLeftSide;
    state.selected(kLeftSide) = 0;
    ASSERT_NE(state.selectedDetails(), nullptr);
    EXPECT_EQ(state.selectedDetails()->displayName, "Nature One");
    EXPECT_TRUE(state.anyRowSelected());
}
