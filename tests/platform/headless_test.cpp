#include <gtest/gtest.h>

#include "platform/platform.h"

using namespace ruko;

TEST(HeadlessPlatform, ScriptedEventsArriveWhenTheVirtualClockReachesThem)
{
    auto p = CreateHeadlessPlatform(ParseInputScript("0 move 3 4\n20 click 7 8\n20 keydown 65\n"));
    TPlatformEvent e;
    ASSERT_TRUE(p->PollEvent(e));
    EXPECT_EQ(e.Kind, TEventKind::MouseMove);
    EXPECT_FALSE(p->PollEvent(e));
    p->Wait(15);
    EXPECT_EQ(p->Now(), 15);
    EXPECT_FALSE(p->PollEvent(e));
    p->Wait(15);
    std::vector<TEventKind> kinds;
    while (p->PollEvent(e))
        kinds.push_back(e.Kind);
    EXPECT_EQ(kinds,
              (std::vector<TEventKind>{TEventKind::MouseMove, TEventKind::MouseDown, TEventKind::KeyDown}));
    int x, y;
    p->GetMouse(x, y);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 8);
    p->Wait(15);
    ASSERT_TRUE(p->PollEvent(e));
    EXPECT_EQ(e.Kind, TEventKind::MouseUp);
    EXPECT_EQ(e.X, 7); // presses and releases happen where the pointer is
}

TEST(HeadlessPlatform, BoxesTakeTheNextScriptedAnswerElseNo)
{
    auto p = CreateHeadlessPlatform(ParseInputScript("0 answer yes\n0 answer ok\n100 answer yes\n"));
    EXPECT_TRUE(p->AskYesNo("t", "q"));
    EXPECT_EQ(p->AskOkCancel("t", "q"), TBoxAnswer::Ok);
    EXPECT_FALSE(p->AskYesNo("t", "q")); // the third answer is not due yet
    EXPECT_EQ(p->AskOkCancel("t", "q"), TBoxAnswer::Cancel);
    p->Wait(100);
    EXPECT_TRUE(p->AskYesNo("t", "q"));
}

TEST(HeadlessPlatform, WarningBoxesConsumeAnAnswer)
{
    auto p = CreateHeadlessPlatform(ParseInputScript("0 answer yes\n0 answer yes\n"));
    p->WarningBox("t", "w");
    EXPECT_TRUE(p->AskYesNo("t", "q"));
    EXPECT_FALSE(p->AskYesNo("t", "q"));
}

TEST(HeadlessPlatform, DialogsTakeTheNextScriptedChoiceElseCancel)
{
    auto p = CreateHeadlessPlatform(ParseInputScript("0 choose /home/me/my notes.txt\n"
                                                     "0 choose cancel\n"
                                                     "0 choose /home/me\n"));
    EXPECT_EQ(p->ChooseFile(TFileDialogKind::Open, "Text|*.txt"), "/home/me/my notes.txt");
    EXPECT_EQ(p->ChooseFile(TFileDialogKind::Save, ""), std::nullopt);
    EXPECT_EQ(p->ChooseFile(TFileDialogKind::Folder, ""), "/home/me/"); // a folder ends in '/'
    EXPECT_EQ(p->ChooseFile(TFileDialogKind::Open, ""), std::nullopt);  // nothing left: cancelled
    // Message boxes and dialogs keep their own answers.
    auto q = CreateHeadlessPlatform(ParseInputScript("0 choose /a\n0 answer yes\n"));
    EXPECT_TRUE(q->AskYesNo("t", "q"));
    EXPECT_EQ(q->ChooseFile(TFileDialogKind::Open, ""), "/a");
}
