#pragma once

// The texts of varnel-cli's own (the flows' texts are theirs, in protocols/FlowTexts.h); each is
// written once, here. %1, %2 ... are filled in where they are shown.
namespace CliTexts {
inline constexpr const char *ErrorPrefix = "varnel-cli: ";
inline constexpr const char *WarningPrefix = "varnel-cli: warning: ";

// Questions on the terminal.
inline constexpr const char *AskOnePort = "Yes or no? [y/n] ";
inline constexpr const char *AskAllPorts = "Answer for all %1 ports. Yes or no? [y/n] ";
inline constexpr const char *AskAgain = "Please answer y or n: ";
inline constexpr const char *AnsweredBy = "%1 -> %2 (%3)";

// Plain output's progress line, at every tenth.
inline constexpr const char *ProgressTenth = "progress %1 % (%2 of %3 lines)";

// Ctrl-C.
inline constexpr const char *StopAsked = "Stop requested (Ctrl-C); Ctrl-C again stops without asking.";
inline constexpr const char *StopForced = "Ctrl-C again: stopping without asking.";
inline constexpr const char *TerminateAsked = "Asked to terminate: stopping every running update.";

// ports.
inline constexpr const char *NoPorts = "No serial ports found.";
inline constexpr const char *PortSerial = "serial %1";
inline constexpr const char *PortNoPermission = "no permission to open it";
inline constexpr const char *PortHeldBy = "held by %1";
inline constexpr const char *PortHeld = "held by another program";
inline constexpr const char *PortGone = "the adapter is gone (unplugged, or a stale entry of the port list)";
inline constexpr const char *PortUnreachable = "the device does not answer (out of range or unreachable)";
inline constexpr const char *PortLocation = "socket %1";
inline constexpr const char *PortBluetooth = "Bluetooth";
inline constexpr const char *PortOverNetwork = "over the network";
inline constexpr const char *PortSlowLatency = "latency timer %1 ms (1 ms is best)";

// check.
inline constexpr const char *FileMissing = "%1: no such file";
inline constexpr const char *FileNotAFile = "%1: not a file";
inline constexpr const char *FileUnreadable = "%1: cannot be read: %2";
inline constexpr const char *FileNotCopied = "%1: cannot be copied for sending: %2";
inline constexpr const char *CheckFile = "File: %1";
inline constexpr const char *CheckUnit = "Unit: %1 %2 (%3 records)";
inline constexpr const char *CheckNameFits = "File name: fits the unit's naming rule";
inline constexpr const char *CheckName = "File name: %1";
inline constexpr const char *CheckAccepted = "Format check: accepted, %1 data records";
inline constexpr const char *CheckRejected = "Format check: rejected";
inline constexpr const char *SummaryHead = "Summary (information only):";
inline constexpr const char *SummarySize = "  size           %1 bytes";
inline constexpr const char *SummaryLines = "  lines          %1";
inline constexpr const char *SummaryRecords = "  records        %1";
inline constexpr const char *SummaryOther = "  other lines    %1";
inline constexpr const char *SummaryDataBytes = "  data bytes     %1";
inline constexpr const char *SummaryAddresses = "  addresses      %1-%2";
inline constexpr const char *SummaryNoAddresses = "  addresses      none";
inline constexpr const char *SummaryBadChecksums = "  bad checksums  %1";
inline constexpr const char *SummaryMalformed = "  malformed      %1";
inline constexpr const char *SummarySha = "  SHA-256        %1";
inline constexpr const char *SummaryUnreadable = "Summary: the file could not be read to its end.";

// The end.
inline constexpr const char *PortOutcome = "Outcome: %1 (%2)";
inline constexpr const char *FailedPorts = "Failed: %1";
inline constexpr const char *RetryHint = "Retry the failed ports with:";
inline constexpr const char *AllCompleted = "Every unit completed.";
inline constexpr const char *CompletedReportIncomplete =
    "Every unit completed, but the report misses lines: see the errors above.";
inline constexpr const char *ReportIncomplete = "The report misses lines: see the errors above.";
} // namespace CliTexts

// update: what stops it before anything is sent.
namespace CliTexts {
// %1 of NeedYes and NeedRestart: why no question can be asked.
inline constexpr const char *NoTerminalIn = "standard input is no terminal";
inline constexpr const char *NoTerminalShown =
    "no terminal would show the question (standard output and standard error are no terminals, and there is no controlling terminal)";
inline constexpr const char *NeedYes = "%1, so the Begin question cannot be asked: give --yes";
inline constexpr const char *NeedRestart =
    "%1, so the restart question of %2 cannot be asked: give --restart yes or --restart no";
inline constexpr const char *FileRejected = "%1 did not pass the format check for %2";
inline constexpr const char *NameWarning = "file name: %1";
inline constexpr const char *ReportUnwritable = "cannot write the report %1: %2";
inline constexpr const char *ReportAppendFailed = "the report line of %1 was not written: %2";
inline constexpr const char *PortMissing = "port %1 does not exist (ports known: %2)";
inline constexpr const char *PortNoneKnown = "none";
inline constexpr const char *PortBusy = "port %1 is busy: %2";
inline constexpr const char *PortTakenAtStart = "port %1 could not be opened when its update began";
inline constexpr const char *PortTwice = "ports %1 and %2 are one and the same line";
inline constexpr const char *PortDenied = "port %1 cannot be opened: no permission to open it";
inline constexpr const char *ThreadFailed = "the update of %1 could not be started";
inline constexpr const char *ThreadStuck = "the thread of %1 did not end; left running as the program ends";
} // namespace CliTexts
