#include "core/string_table.h"

#include <gtest/gtest.h>

#include "core/decimal_text.h"
#include "core/messages.h"
#include "core/stock_operations.h"

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
  // The fee menu's entries are the percentages the fee is computed with, then "Custom...".
  std::vector<std::string> fees = ChoiceList(IDS_FEE_PERCENTS);
  ASSERT_EQ(fees.size(), std::size(quillet::kFeePercentChoices) + 1);
  EXPECT_EQ(fees.back(), "Custom...");
  for (std::size_t k = 0; k < std::size(quillet::kFeePercentChoices); ++k) {
    EXPECT_EQ(fees[k].back(), '%');
    EXPECT_DOUBLE_EQ(quillet::ParseDecimal(fees[k], quillet::kAllPlaces),
                     quillet::kFeePercentChoices[k])
        << fees[k];
  }
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

TEST(StringTable, TheRunsAndTheCoresTextsAreTheTablesEntries) {
  EXPECT_EQ(LoadString(IDS_CONNECTING_SERVER), "Connecting to server...");
  EXPECT_EQ(LoadString(IDS_RETRIEVING_STOCKS), "Retrieving stock information...");
  EXPECT_EQ(LoadString(IDS_RETRIEVING_CHART), "Retrieving chart information...");
  EXPECT_EQ(LoadString(IDS_CONNECTING_INTERNET), "Connecting to the Internet...");
  EXPECT_EQ(LoadString(IDS_CLOSING_CONNECTION), "Closing connection...");
  EXPECT_EQ(LoadString(10039), "Delete ALL stocks?");
  EXPECT_EQ(LoadString(10013),
            "If you want to make a new sold stock, first create a new active stock and then "
            "sell it.");
  // A named text of the core is the entry itself, not a second copy of its words.
  EXPECT_EQ(text::kDeleteAllStocks, TextOf(IDS_DELETE_ALL_STOCKS));
  EXPECT_EQ(text::kNotOwned, TextOf(10014));
  EXPECT_EQ(TextOf(12345), nullptr);
  static_assert(TextOf(IDS_STOCKS) != nullptr, "the table is usable at compile time");
}

}  // namespace
}  // namespace quillet::strings
