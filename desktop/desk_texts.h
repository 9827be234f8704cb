// The fixed texts of the desktop companion's settings and options sheet, by name.
#pragma once

namespace quillet::desk_text {

inline constexpr const char* kCaption = "Quillet";
inline constexpr const char* kSheetTitle = "Quillet - Sync preferences";
inline constexpr const char* kVersion = "v4.36";
inline constexpr const char* kMakerSite = "https://quillet.invalid/";
inline constexpr const char* kNoLogFile = "No log file!";
inline constexpr const char* kNoStocksSpecified =
    "No stocks specified, chart data will not be imported.";
inline constexpr const char* kNoDateSpecified =
    "No date specified, chart data will not be imported.";
inline constexpr const char* kBadProxyPort = "Enter a proxy port from 1 to 65535.";
inline constexpr const char* kBadDate = "Enter the date as mm/dd/yyyy.";
inline constexpr const char* kNotOnTheDesktop =
    "The file is not on this desktop's drives; choose a file there.";
// The question before a run when "Ask if update" is ticked.
inline constexpr const char* kUpdateQuestion = "Perform Internet stock update?";
inline constexpr const char* kUpdateYes = "&Yes";
inline constexpr const char* kUpdateNoCountdown = "&No - %d Seconds";
inline constexpr int kUpdateQuestionSeconds = 10;
inline constexpr const char* kCannotSave =
    "The settings could not be saved; the previous settings are kept.";

}  // namespace quillet::desk_text
