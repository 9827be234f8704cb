// The bubble's HTML, read from the program's notification text and from texts written the way
// other programs write theirs.
#include "standins/shell/bubble_html.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(BubbleHtml, TheAlertNotificationIsATitleALinkLineAndARightAlignedButton) {
  auto p = ParseBubbleHtml(
      u"<html><body><form method=\"POST\" action=><font size=\"+1\"><b>1 or more active "
      u"alerts</b></font><p><a href=\"cmd:11\">Open</a> Quillet</p><p align=right><input "
      u"type=button name='cmd:10' value='Dismiss'></p></form></body></html>");
  ASSERT_EQ(p.size(), 3u);
  ASSERT_EQ(p[0].runs.size(), 1u);
  EXPECT_EQ(p[0].runs[0].text, u"1 or more active alerts");
  EXPECT_TRUE(p[0].runs[0].bold);
  EXPECT_TRUE(p[0].runs[0].larger);
  EXPECT_FALSE(p[0].alignRight);
  ASSERT_EQ(p[1].runs.size(), 2u);
  EXPECT_EQ(p[1].runs[0].kind, BubbleRun::kLink);
  EXPECT_EQ(p[1].runs[0].text, u"Open");
  EXPECT_EQ(p[1].runs[0].command, 11);
  EXPECT_EQ(p[1].runs[1].kind, BubbleRun::kText);
  EXPECT_EQ(p[1].runs[1].text, u" Quillet");
  EXPECT_FALSE(p[1].runs[1].bold);
  EXPECT_TRUE(p[2].alignRight);
  ASSERT_EQ(p[2].runs.size(), 1u);
  EXPECT_EQ(p[2].runs[0].kind, BubbleRun::kButton);
  EXPECT_EQ(p[2].runs[0].text, u"Dismiss");
  EXPECT_EQ(p[2].runs[0].command, 10);
}

TEST(BubbleHtml, EntitiesBlanksAndUnknownTagsReadAsABrowserWouldShowThem) {
  auto p = ParseBubbleHtml(
      u"<B>Price &lt; 12 &amp; falling</B>\r\n  <blink>now</blink><br><A HREF=\"CMD:7\">Go</a>"
      u"<a href=\"http://example.invalid/\">away</a><input type=text name=cmd:3 value=x>");
  ASSERT_EQ(p.size(), 2u);
  ASSERT_GE(p[0].runs.size(), 2u);
  EXPECT_EQ(p[0].runs[0].text, u"Price < 12 & falling ");
  EXPECT_TRUE(p[0].runs[0].bold);
  EXPECT_EQ(p[0].runs[1].text, u"now");
  EXPECT_FALSE(p[0].runs[1].bold);
  ASSERT_EQ(p[1].runs.size(), 2u) << "a text box is no button";
  EXPECT_EQ(p[1].runs[0].command, 7);
  EXPECT_EQ(p[1].runs[1].kind, BubbleRun::kLink);
  EXPECT_EQ(p[1].runs[1].command, -1) << "a link to a page answers nothing";
}

TEST(BubbleHtml, TextCutShortStopsAtTheCutAndNeverReadsPastIt) {
  auto p = ParseBubbleHtml(u"<b>Alert</b><p><a href=\"cmd:1");
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0].runs[0].text, u"Alert");
  EXPECT_TRUE(ParseBubbleHtml(u"").front().runs.empty());
  auto q = ParseBubbleHtml(u"<font size=+1>big</font></font></b>plain <input type=button>");
  ASSERT_EQ(q[0].runs.size(), 3u);
  EXPECT_TRUE(q[0].runs[0].larger);
  EXPECT_FALSE(q[0].runs[1].larger) << "extra closing tags close nothing";
  EXPECT_FALSE(q[0].runs[1].bold);
  EXPECT_EQ(q[0].runs[2].command, -1) << "a button without a name answers nothing";
}

}  // namespace
}  // namespace quillet
