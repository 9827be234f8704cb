// The partners shown in the progress window while each quote source is asked: the maker for
// most, the provider's own logo and site for the four sources that asked to be named.
#include <array>

#include "desktop/desk_run_host.h"

namespace quillet {
namespace {

constexpr char kMakerAddress[] = "https://quillet.invalid/";
constexpr PartnerEntry kMaker{kMakerLogo, kMakerAddress};

constexpr std::array<PartnerEntry, 25> kPartners = [] {
  std::array<PartnerEntry, 25> table{};
  for (PartnerEntry& e : table) e = kMaker;
  table[3] = {126, "https://quotes-list.invalid/"};
  table[11] = {125, "https://boerse-page.invalid/"};
  table[13] = {127, "https://market-news.invalid/"};
  table[14] = {131, "https://exchange-page.invalid/"};
  return table;
}();

}  // namespace

const PartnerEntry& PartnerOfSource(int source) {
  if (source < 0 || source >= static_cast<int>(kPartners.size())) return kMaker;
  return kPartners[static_cast<std::size_t>(source)];
}

}  // namespace quillet
