#include "device/string_table.h"

#include <gtest/gtest.h>

namespace quillet::strings {
namespace {

TEST(StringTable, ChoiceListsHoldTheirCountThenTheItems) {
  EXPECT_EQ(ChoiceList(IDS_COLUMN_TEXT), (std::vector<std::string>{"Name", "Symbol"}));
  EXPECT_EQ(ChoiceList(IDS_COLUMN_DATA),
            (std::vector<std::string>{"Price", "Div.", "Num", "Buy Date", "Sell Date"}));
  std::vector<std::string> values = ChoiceList(IDS_COLUMN_VALUE);
  ASSERT_EQ(values.size(), 10u);
  EXPECT_EQ(values.front(), "Profit");
  EXPECT_EQ(values[4], "C. Value");
  EXPECT_EQ(values.back(), "DChange");
  EXPECT_EQ(ChoiceList(IDS_ARROW_MODES),
            (std::vector<std::string>{"Change Today", "Change Last Update"}));
  EXPECT_EQ(ChoiceList(IDS_SORT_KEYS).size(), 11u);
  EXPECT_EQ(ChoiceList(IDS_UPDATE_INTERVALS).back(), "2 Hours");
  EXPECT_TRUE(ChoiceList(12345).empty());
}

TEST(StringTable, EntriesByNumber) {
  EXPECT_EQ(LoadString(IDS_UPDATE_NOT_COMPLETE), "Update not complete, check the network log.");
  EXPECT_EQ(LoadString(IDS_STOCKS), "Stocks");
  EXPECT_EQ(LoadString(IDS_TOOLS), "Tools");
  // The two menu buttons carry an empty tooltip that is nevertheless an entry.
  EXPECT_TRUE(HasString(IDS_TOOLTIP_BASE));
  EXPECT_EQ(LoadString(IDS_TOOLTIP_BASE), "");
  EXPECT_EQ(LoadString(IDS_TOOLTIP_BASE + 5), "Portfolio Cash");
  EXPECT_FALSE(HasString(1));
  EXPECT_EQ(LoadString(1), "");
}

}  // namespace
}  // namespace quillet::strings
