#pragma once

// Values fixed when the application is built. Nothing here is read at run time.
namespace WizardConfig {
// The program's name: window caption, instance name, help and message texts.
inline constexpr const char *ProgramName = "Varnel";
inline constexpr const char *ProgramVersion = "1.70";
// The product family named in the welcome text, whichever brand is chosen.
inline constexpr const char *ProductFamilyName = "TRIVANE";
// The maker's web address, where technicians download firmware updates.
inline constexpr const char *MakerWebAddress = "www.trivane.example";
// The help start page, in the folder "help" beside the executable.
inline constexpr const char *HelpFolderName = "help";
inline constexpr const char *HelpStartPageName = "index.html";
} // namespace WizardConfig
