// Test doubles of the update run's user interface, shared by the run's tests.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "quotes/device/update_quotes.h"

namespace quillet::testing {

// Records what the run showed; hooks let a test act while the run is going on (press Cancel,
// fire the timer).
class RecordingUpdateHost final : public UpdateHost {
 public:
  std::unique_ptr<QuoteProgress> OpenProgress(CancelToken& runCancel) override {
    ++progressOpened;
    cancel = &runCancel;
    if (onOpenProgress) onOpenProgress();
    return std::make_unique<Progress>(*this);
  }
  void PlayUpdateSound() override { ++sounds; }
  void PumpMessages() override { ++pumps; }
  DWORD SelectedStock() override { return selected; }
  void RefillList(DWORD selectStock) override { refills.push_back(selectStock); }

  int progressOpened = 0;
  int progressClosed = 0;
  int sounds = 0;
  int pumps = 0;
  DWORD selected = 0;
  std::vector<DWORD> refills;
  std::vector<UINT> statuses;
  // The Cancel of the run whose progress window opened last, as its button would press it.
  CancelToken* cancel = nullptr;
  std::function<void()> onOpenProgress;
  std::function<void(UINT)> onStatus;
  // Called each time the run lets the progress window answer.
  std::function<void()> onPump;

 private:
  class Progress final : public QuoteProgress {
   public:
    explicit Progress(RecordingUpdateHost& host) : host_(host) {}
    ~Progress() override { ++host_.progressClosed; }
    void ShowStatus(UINT id) override {
      host_.statuses.push_back(id);
      if (host_.onStatus) host_.onStatus(id);
    }
    void PumpMessages() override {
      ++host_.pumps;
      if (host_.onPump) host_.onPump();
    }

   private:
    RecordingUpdateHost& host_;
  };
};

}  // namespace quillet::testing
