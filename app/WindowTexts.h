#pragma once

// Texts of the window itself that are not in its design file, each written once.
namespace WindowTexts {
// The open-file dialog (OpenDialog1). Update files come as .s19 and .S19; a desktop's own dialog
// matches patterns case by case, so the filter names both.
inline constexpr const char *OpenDialogTitle = "Choose an update file";
inline constexpr const char *OpenDialogFilter = "S19 Files (*.s19 *.S19)";
// The status bar's design text, shown until the first page sets "Ready.".
inline constexpr const char *DesignStatus = "Ready";
} // namespace WindowTexts
