#include "platform/inputscript.h"

#include <gtest/gtest.h>

using namespace ruko;

TEST(InputScript, ParsesEveryEventKindAndSkipsComments)
{
    TInputScript s = ParseInputScript("# a run\n"
                                      "0 move 10 -20\r\n"
                                      "15 press right   # comment\n"
                                      "\n"
                                      "30 release left\n"
                                      "45 keydown 255\n"
                                      "60 keyup 13\n"
                                      "75 wheel up\n"
                                      "90 wheel down\n"
                                      "105 answer yes\n");
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(s[0].Action, TScriptAction::Move);
    EXPECT_EQ(s[0].X, 10);
    EXPECT_EQ(s[0].Y, -20);
    EXPECT_EQ(s[1].Action, TScriptAction::Press);
    EXPECT_EQ(s[1].Button, TScriptButton::Right);
    EXPECT_EQ(s[2].Action, TScriptAction::Release);
    EXPECT_EQ(s[2].Button, TScriptButton::Left);
    EXPECT_EQ(s[3].Key, 255);
    EXPECT_EQ(s[4].Action, TScriptAction::KeyUp);
    EXPECT_EQ(s[5].Action, TScriptAction::WheelUp);
    EXPECT_EQ(s[6].Action, TScriptAction::WheelDown);
    EXPECT_EQ(s[7].Answer, TScriptAnswer::Yes);
    EXPECT_EQ(s[7].Time, 105);
}

TEST(InputScript, ClickReleasesOneFrameLaterAfterEventsWrittenBelowIt)
{
    TInputScript s = ParseInputScript("100 click 5 6\n105 keydown 32\n");
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].Action, TScriptAction::Move);
    EXPECT_EQ(s[1].Action, TScriptAction::Press);
    EXPECT_EQ(s[1].Time, 100);
    EXPECT_EQ(s[2].Action, TScriptAction::KeyDown);
    EXPECT_EQ(s[3].Action, TScriptAction::Release);
    EXPECT_EQ(s[3].Time, 100 + VirtualFrameMs);
    EXPECT_EQ(s[3].X, 5);
}

TEST(InputScript, EqualTimesKeepTheirWrittenOrder)
{
    TInputScript s = ParseInputScript("50 keydown 1\n10 keydown 2\n50 keydown 3\n");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].Key, 2);
    EXPECT_EQ(s[1].Key, 1);
    EXPECT_EQ(s[2].Key, 3);
}

TEST(InputScript, MalformedLinesAreRejectedWithTheirLineNumber)
{
    const struct
    {
        const char* text;
        const char* expected;
    } cases[] = {
        {"abc move 1 2", "line 1"},
        {"-5 move 1 2", "bad time"},
        {"0 move 1", "wrong number"},
        {"0 move 1 2 3", "wrong number"},
        {"0 press middle", "left or right"},
        {"0 keydown 256", "0..255"},
        {"0 keydown x", "0..255"},
        {"0 wheel sideways", "up or down"},
        {"0 answer maybe", "yes, no"},
        {"0 choose", "expected"},
        {"0 choose   ", "expected"},
        {"\n\n0 jump", "line 3: unknown event"},
        {"0", "expected"},
        {"0 move 1 99999999999", "coordinate"},
        // What is quoted back stays one short printable line.
        {"0 jump\x1b[2J\r\x82\xA0", "0 jump\\x1B[2J\\x0D\\x82\\xA0"},
        {"0 jump 0123456789012345678901234567890123456789012345678901234567890123456789", "0123456789012..."},
    };
    for (const auto& c : cases) {
        try {
            ParseInputScript(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const EInputScript& e) {
            EXPECT_NE(e.Message.find(c.expected), std::string::npos) << c.text << " -> " << e.Message;
            EXPECT_EQ(e.Message.find('\n'), std::string::npos);
            EXPECT_LT(e.Message.size(), 150u);
        }
    }
}

TEST(InputScript, UnreadableFileIsAnError)
{
    EXPECT_THROW(LoadInputScript("/nonexistent/input.txt"), EInputScript);
}
