// Helpers for the widget tests: a device root seeded with stocks, notes and alerts through the
// portfolio core, and the program started on it with scripted message boxes and dialogs.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/portfolio_store.h"
#include "device/quillet_app.h"
#include "platform/testing/test_support.h"

namespace quillet::testing {

struct StockSeed {
  std::string name;
  std::string symbol;
  int portfolio = 0;
  BYTE status = kStatusActive;
  std::string shares = "100";
  std::string buyPrice = "10";
  std::string price = "12";
  std::string change = "0";
  BYTE trend = kTrendUp;
  BYTE market = 0;
};

class DeviceFixture {
 public:
  DeviceFixture();
  PlatformContext& ctx() { return *root.ctx; }

  // Writes preferences, portfolios, stocks (and whatever `more` adds) to the root as a
  // previous run of the program would have left them.
  void Seed(const std::vector<std::string>& portfolios, const std::vector<StockSeed>& stocks,
            const std::function<void(PortfolioStore&)>& more = {});
  // A store loaded from the root, to look at what the program saved.
  std::unique_ptr<PortfolioStore> LoadSaved();

  // Starts the program; dialogs are answered by `dialogs` (default: closed with OK) and their
  // object names collected in `dialogsShown`.
  std::unique_ptr<CQuilletApp> Start(bool* started = nullptr);

  // Answers each dialog with the script kept under its object name in `scripts` (which must
  // outlive the program): the dialog is shown, so keys and clicks reach it as they reach the
  // user, and its result is what the script left (0 when it stayed open). A dialog without a
  // script is answered 0.
  using DialogScripts = std::map<std::string, std::function<void(QDialog&)>>;
  void AnswerDialogsWith(DialogScripts& scripts);

  TestRoot root;
  std::function<int(QDialog&)> dialogs;
  std::vector<std::string> dialogsShown;
};

}  // namespace quillet::testing
