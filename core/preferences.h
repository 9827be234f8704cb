// The store's preferences: read from and written to the preference record in the registry, and
// the Today-screen item they switch on and off.
#pragma once

#include <optional>
#include <string_view>

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
// Writes the record and its size together. The program ignores the result (the settings stay
// in effect for the run); a tool that only stores settings reports it: false when nothing was
// written.
bool SavePreferences(PortfolioStore& s);
// Registers (on) or removes (off) the Today-screen item and tells the windows.
void SetTodayItem(PortfolioStore& s, bool on);

// Values typed on the preference pages, checked before anything is stored.
// The proxy port: a whole number 1..65535 (the record keeps it in 16 bits, so anything larger
// would wrap to another port).
std::optional<WORD> ReadProxyPort(std::string_view text);
// The proxy host fits the record's field: at most 62 characters.
bool ProxyHostFits(std::string_view host);
// A password from the keypad: exactly four digits, not all zero (a stored 0 means no
// password, so "0000" would turn protection off while it looks on).
std::optional<WORD> PasswordFromDigits(std::string_view digits);

}  // namespace quillet
