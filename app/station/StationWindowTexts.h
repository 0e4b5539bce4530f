#pragma once

// Texts of the station window, each written once. The flows' own texts (status, boxes,
// questions) reach the tiles unchanged and are not repeated here.
namespace StationWindowTexts {
inline constexpr const char *ProgramName = "varnel-station";
inline constexpr const char *TitlePrefix = "Varnel Station";
// "Varnel Station - line3 - Varnel 1.70"
inline constexpr const char *TitleFormat = "%1 - %2 - Varnel %3";
inline constexpr const char *UnsavedJobName = "new job";

// The header.
inline constexpr const char *HeaderUnit = "Unit: %1";
inline constexpr const char *HeaderFile = "File: %1";
inline constexpr const char *HeaderSha = "SHA-256: %1";
inline constexpr const char *HeaderShaTip = "SHA-256 of the approved file: %1";
inline constexpr const char *HeaderReport = "Report: %1";
inline constexpr const char *HeaderNoReport = "Report: none";
inline constexpr const char *SessionCounts = "This session: %1 completed / %2 failed / %3 total";
inline constexpr const char *TodayCounts = "Report today: %1 completed / %2 failed / %3 total";
// Under the header while the job's file or report would be refused at Start.
inline constexpr const char *JobProblemName = "Job problem";

// The window's buttons and accessible names.
inline constexpr const char *StartAll = "Start all";
inline constexpr const char *StopAll = "Stop all";
inline constexpr const char *Start = "Start";
inline constexpr const char *Stop = "Stop";
inline constexpr const char *Yes = "Yes";
inline constexpr const char *No = "No";
inline constexpr const char *Ok = "OK";
inline constexpr const char *BayName = "Bay %1";
inline constexpr const char *SerialField = "Unit serial number";
inline constexpr const char *SerialPlaceholder = "Unit serial number";
inline constexpr const char *StatusName = "Status";
inline constexpr const char *OutcomeName = "Outcome";
inline constexpr const char *MessageName = "Message";
inline constexpr const char *QuestionName = "Question";
inline constexpr const char *PromptName = "Question for several bays";

// A tile.
inline constexpr const char *PortLine = "Port %1";
inline constexpr const char *PortLineWithSerial = "Port %1, adapter %2";
inline constexpr const char *NotPluggedIn = "Adapter not plugged in (%1)";
inline constexpr const char *Idle = "Ready to start.";
inline constexpr const char *Running = "Running";
inline constexpr const char *Completed = "Completed";
inline constexpr const char *Failed = "Failed: %1";
inline constexpr const char *Stopped = "Stopped";
inline constexpr const char *RecordNotWritten = "Not recorded: %1";

// The window-level prompt for several bays: "Bays A1, A2, A3: Begin Update?"
inline constexpr const char *PromptForBays = "Bays %1: %2";

// Closing while bays run.
inline constexpr const char *CloseTitle = "Close Varnel Station?";
inline constexpr const char *CloseQuestion =
    "%1 bay(s) are still updating. Closing stops every one of them now (each stop is recorded). Close the window?";
inline constexpr const char *Closing = "Stopping every bay before the window closes...";

// Start-up.
inline constexpr const char *OpenJobTitle = "Varnel Station - open a job";
inline constexpr const char *NoJob = "varnel-station: a job is needed: --job FILE, or --engineer to make one";
inline constexpr const char *ScreenshotFailed = "varnel-station: the screenshot could not be saved to %1";
inline constexpr const char *HeadlessBay = "%1  %2  %3  %4";
inline constexpr const char *HeadlessAnswer = "%1 -> Yes";
inline constexpr const char *HeadlessSummary = "%1 of %2 bays completed";

// Engineer mode.
inline constexpr const char *EngineerTitle = "Varnel Station - make a job - Varnel %1";
inline constexpr const char *EngineerUnit = "Unit type";
inline constexpr const char *EngineerFile = "Update file";
inline constexpr const char *EngineerBrowse = "Browse...";
inline constexpr const char *EngineerRestart = "Restart after update";
inline constexpr const char *EngineerRestartAsk = "ask on each bay";
inline constexpr const char *EngineerRestartYes = "yes";
inline constexpr const char *EngineerRestartNo = "no";
inline constexpr const char *EngineerReport = "Report file";
inline constexpr const char *EngineerBays = "Bays: tick the ports of the bench and name each bay";
inline constexpr const char *EngineerRescan = "Read the ports again";
inline constexpr const char *EngineerSave = "Save job...";
inline constexpr const char *EngineerRun = "Save and run";
inline constexpr const char *EngineerFileFilter = "S19 Files (*.s19 *.S19)";
inline constexpr const char *EngineerJobFilter = "Job files (*.json)";
inline constexpr const char *EngineerReportFilter = "Report files (*.jsonl)";
inline constexpr const char *EngineerColumnBay = "Bay";
inline constexpr const char *EngineerColumnPort = "Port";
inline constexpr const char *EngineerColumnAdapter = "Adapter";
inline constexpr const char *EngineerColumnSerial = "Serial number";
inline constexpr const char *EngineerColumnWritten = "Written to the job as";
inline constexpr const char *EngineerNoFile = "Choose the update file first.";
inline constexpr const char *EngineerNoBays = "Tick at least one port as a bay.";
inline constexpr const char *EngineerBayNamesTwice = "Two bays are named %1; every bay needs a name of its own.";
inline constexpr const char *EngineerUnreadable = "The file %1 could not be read.";
inline constexpr const char *EngineerSaved = "Job saved to %1.";
inline constexpr const char *EngineerSaveFailed = "The job could not be saved: %1";
} // namespace StationWindowTexts
