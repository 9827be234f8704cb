// Loading and saving the handheld program's three data files in "\Program Files\Quillet": the
// store's side of them. The bytes are the codecs' business (data_codecs.h); here a file that
// exists but cannot be read stops the start with a message, an allocation that fails is told,
// and a save goes through a temporary file so that a failure leaves the previous file whole.
#pragma once

#include "core/portfolio_store.h"

namespace quillet {

// Each returns false only when the program cannot run (memory for a record, or a file that
// exists but cannot be read); the reason was shown. A missing file is an empty list.
bool LoadStocks(PortfolioStore& store);
bool LoadNotes(PortfolioStore& store);
bool LoadAlerts(PortfolioStore& store);

// Each returns false when the file could not be written; the message was shown and the
// previous file is unchanged.
bool SaveStocks(PortfolioStore& store);
bool SaveNotes(PortfolioStore& store);
bool SaveAlerts(PortfolioStore& store);

}  // namespace quillet
