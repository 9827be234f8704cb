// What the desktop update run needs from the windows around it, and the steps other parts of the
// desktop companion add to it. The run itself has no windows: the sync manager's provider hands
// it the progress window and the question of the desktop UI library, quillet-cli hands it the
// terminal, and tests hand it recorders.
#pragma once

#include <memory>
#include <string_view>

#include "platform/win_types.h"
#include "quotes/cancel_token.h"
#include "quotes/quote_client.h"

namespace quillet {

class CQuilletUpdater;

// The partner shown while a quote source is asked: a logo bitmap and a web address.
struct PartnerEntry {
  UINT uLogo;
  const char* szAddress;  // at most 51 characters
};
inline constexpr UINT kMakerLogo = 120;
// The entry of a quote source (0..24); the maker's entry for any other number.
const PartnerEntry& PartnerOfSource(int source);

// The progress window of a run: the status texts of the client and the run (string-table ids),
// the partner of the source being asked, and the messages pumped while a request waits. Its
// Cancel raises the run's CancelToken and closes the window.
class DeskProgress : public QuoteProgress {
 public:
  // Shows the partner of `source` (logo and address): when the logo differs from the one
  // shown, both are replaced and the window waits one second; otherwise nothing changes.
  virtual void ShowSource(int source) = 0;
};

class DeskRunHost {
 public:
  virtual ~DeskRunHost() = default;
  // Opens the progress window, centred on the sync manager's window; Cancel raises `cancel`.
  // Null when none can be shown (the run goes on without one).
  virtual std::unique_ptr<DeskProgress> OpenProgress(CancelToken& cancel) = 0;
  // "Perform Internet stock update?" with Yes and a No that counts down ten seconds; true only
  // for Yes. Closing the question or letting it run out is No.
  virtual bool AskToUpdate() = 0;
  // Dispatches pending window messages (while a dial-up line is hung up).
  virtual void PumpMessages() = 0;
};

// The steps that import, export, back up and restore (CSV files and dated backups in the
// working directory). A run without them does none of these and keeps their requests
// ("import next sync", "restore next time") for a run that can.
class DeskRunSteps {
 public:
  virtual ~DeskRunSteps() = default;
  // Puts the stock, note and alert files of the backup set `date` (eight digits) in the place
  // of the device's: the run parses them as it would the copies. False when nothing was
  // restored (the run then reads the device's files).
  virtual bool Restore(CQuilletUpdater& run, std::string_view date) = 0;
  // Adds the stocks of the CSV file to the run's stock list. False when the file could not be
  // read (the request is then kept for the next run).
  virtual bool ImportStocks(CQuilletUpdater& run) = 0;
  // The CSV exports of the stocks and, when asked, of the chart history.
  virtual void Export(CQuilletUpdater& run) = 0;
  // The dated backup, by its schedule.
  virtual void Backup(CQuilletUpdater& run) = 0;
};

}  // namespace quillet
