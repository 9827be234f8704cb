// The store's preferences: read from and written to the preference record in the registry, and
// the Today-screen item they switch on and off.
#pragma once

#include "core/portfolio_store.h"
#include "core/pref_record.h"

namespace quillet {

// Every setting back to its default, then the stored record over it (a short record leaves the
// rest at zero). Returns true when no preference record existed (a first start). Writes the
// program's path for the other components.
bool LoadPreferences(PortfolioStore& s);
// The settings of a preference record into the store's fields, as a load takes them (the
// desktop's sync run reads the handheld's record so that its calculations follow the same
// settings). The record itself is not changed.
void ApplyPreferenceRecord(PortfolioStore& s, const PrefRecord& record);
// Write failures are not reported: the settings stay in effect for this run.
void SavePreferences(PortfolioStore& s);
// Registers (on) or removes (off) the Today-screen item and tells the windows.
void SetTodayItem(PortfolioStore& s, bool on);

}  // namespace quillet
