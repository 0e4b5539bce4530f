// Every way an update can fail, one row each, played in real time through the real window
// against a simulated unit behind a pseudo-terminal. The unit answers at once; what a row costs
// is the flow's own time-outs and status holds, so the rows are meant to run many at a time.
#include "tests/sweep/SweepRig.h"

namespace {

using namespace sweep;
using FlowTexts::EraseTexts::EraseFailureTitle;
namespace Erase = FlowTexts::EraseTexts;
namespace Boot = FlowTexts::BootTexts;
namespace Monitor = FlowTexts::MonitorTexts;
namespace Module = FlowTexts::ModuleTexts;

const TBox PortGoneBox{&FlowTexts::PortGoneTitle, &FlowTexts::PortGone};
const TBox FileGoneBox{&FlowTexts::FileErrorTitle, &FlowTexts::FileGone};

// What goes wrong before a flow talks to its unit is the same for all three flows: the port or
// the file went away, the technician declined, the file's format, a stop during its check.
std::vector<TSweepRow> BeforeTheUnit(TFamily family)
{
    return {
        {.Name = "PortGoneBeforeBegin", .Family = family, .Host = THost::PortGone, .Boxes = {PortGoneBox},
         .Status = &FlowTexts::Ready},
        {.Name = "FileGoneBeforeBegin", .Family = family, .Host = THost::FileGone, .Boxes = {FileGoneBox},
         .Status = &FlowTexts::Ready, .NothingSent = true},
        {.Name = "NoAtBeginUpdate", .Family = family, .Host = THost::NoAtBegin, .Status = &LinkTexts::UserStopped,
         .NothingSent = true},
        {.Name = "FileMalformedBeforeBegin", .Family = family, .Host = THost::InvalidFile, .Boxes = {FormatErrorBox},
         .Status = &FlowTexts::FormatNotValid, .NothingSent = true},
        {.Name = "StopDuringFormatCheck", .Family = family, .Host = THost::StopInFormatCheck,
         .Status = &LinkTexts::UserStopped, .NothingSent = true},
    };
}

template <class T> std::vector<T> operator+(std::vector<T> a, const std::vector<T> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---------------------------------------------------------------------------------------------
// Update-mode relays: the line phase (the file is header, two data lines, end record)

class UpdateMode : public ::testing::TestWithParam<TSweepRow> {};
TEST_P(UpdateMode, Row) { TSweepRun(GetParam()).Run(); }

const TFamily UM = TFamily::UpdateMode;

INSTANTIATE_TEST_SUITE_P(
    Sweep, UpdateMode,
    ::testing::ValuesIn(
        BeforeTheUnit(UM) +
        std::vector<TSweepRow>{
            {.Name = "FileGoneAfterErase", .Family = UM, .Host = THost::DeleteOnStatus, .Trigger = &Erase::Erased,
             .Boxes = {FileUnreadableBox}, .Status = &FlowTexts::FileUnreadableStatus},
            // The third line is the second data line: two lines are in when it fails.
            {.Name = "ErrorCOnEveryAttempt", .Family = UM, .Rules = {"line@3=C*4"},
             .Boxes = {UpdateError(FlowTexts::UpdateModeTexts::ErrorCBox)}, .Status = &FlowTexts::ErrorCStatus,
             .Progress = 2},
            {.Name = "ErrorFOnEveryAttempt", .Family = UM, .Rules = {"line@3=F*4"},
             .Boxes = {UpdateError(FlowTexts::ErrorFBox)}, .Status = &FlowTexts::ErrorFStatus, .Progress = 2},
            {.Name = "ErrorROnEveryAttempt", .Family = UM, .Rules = {"line@3=R*4"},
             .Boxes = {UpdateError(FlowTexts::ErrorRBox)}, .Status = &FlowTexts::ErrorRStatus, .Progress = 2},
            {.Name = "NoAnswerOnEveryAttempt", .Family = UM, .Rules = {"line@3=silent*4"},
             .Status = &FlowTexts::NoResponse, .Progress = 2},
            // A byte "t" reads like a time-out.
            {.Name = "ByteTOnEveryAttempt", .Family = UM, .Rules = {"line@3=0x74*4"}, .Status = &FlowTexts::NoResponse,
             .Progress = 2},
            {.Name = "OtherByteOnEveryAttempt", .Family = UM, .Rules = {"line@3=Z*4"},
             .Status = &FlowTexts::WrongResponse, .Progress = 2},
            // Stop pressed while the erase's success is on view: the flow's own question
            // before the first line.
            {.Name = "StopConfirmedAtTheFlowsPrompt", .Family = UM, .Host = THost::StopOnStatus,
             .Trigger = &Erase::Erased, .Boxes = {StopPrompt}, .Status = &LinkTexts::UserStopped,
             .UnitToldToQuit = true, .ItemsTaken = 0},
            {.Name = "StopConfirmedWhileAwaitingALine", .Family = UM, .Rules = {"line@3=silent*1"},
             .Host = THost::StopWhileUnitSilent, .Boxes = {StopPrompt}, .Status = &LinkTexts::UserStopped,
             .Progress = 2, .UnitToldToQuit = true, .ItemsTaken = 3},
            // A byte "s" reads like a confirmed stop.
            {.Name = "ByteSToALine", .Family = UM, .Rules = {"line@3=s"}, .Status = &LinkTexts::UserStopped,
             .Progress = 2, .UnitToldToQuit = true},
            // The cable pulled during the pause after the erase: the purge finds nothing to
            // discard on a line that is gone, and the first line cannot be written.
            {.Name = "LineCannotBeWritten", .Family = UM, .Host = THost::CutOnStatus, .Trigger = &Erase::Erased,
             .Status = &LinkTexts::SendFailed},
            // Pulled while a line's answer is awaited: the failed read ends the update as a stop.
            {.Name = "LineCutWhileAwaitingALine", .Family = UM, .Rules = {"line@3=hangup"},
             .Status = &LinkTexts::UserStopped, .Progress = 2, .ItemsTaken = 3},
            // The end record taken with "." instead of "!": the empty line after it as well, then
            // the file has run out.
            {.Name = "EndOfFileBeforeTheEndAnswer", .Family = UM, .Rules = {"line@4=."}, .Boxes = {EofBox},
             .Status = &FlowTexts::EofStatus, .Progress = 5},
        }),
    RowName);

// ---------------------------------------------------------------------------------------------
// Update-mode relays: contact and flash erase

class ContactErase : public ::testing::TestWithParam<TSweepRow> {};
TEST_P(ContactErase, Row) { TSweepRun(GetParam()).Run(); }

const TBox EraseErrorBox{&EraseFailureTitle, &Erase::EraseErrorBox};
const TBox RetriesSpentBox{&EraseFailureTitle, &Erase::RetriesSpentBox};

INSTANTIATE_TEST_SUITE_P(
    Sweep, ContactErase,
    ::testing::Values(
        TSweepRow{.Name = "ContactAnsweredByAnotherByte", .Family = UM, .Rules = {"contact=Z"},
                  .Status = &FlowTexts::NoContact},
        TSweepRow{.Name = "EraseAnsweredE", .Family = UM, .Rules = {"erase=E"}, .Boxes = {EraseErrorBox},
                  .Status = &Erase::NotErased},
        // "P" is no acknowledgement of the erase.
        TSweepRow{.Name = "EraseAnsweredByAnotherByte", .Family = UM, .Rules = {"erase=P"}, .Status = &Erase::NotErased},
        TSweepRow{.Name = "StopConfirmedWhileAwaitingContact", .Family = UM, .Rules = {"contact=silent*1"},
                  .Host = THost::StopWhileUnitSilent, .Boxes = {StopPrompt}, .Status = &Erase::StoppedProcess},
        TSweepRow{.Name = "StopConfirmedWhileAwaitingTheErase", .Family = UM, .Rules = {"erase=silent*1"},
                  .Host = THost::StopWhileUnitSilent, .Boxes = {StopPrompt}, .Status = &Erase::StoppedProcess},
        TSweepRow{.Name = "ByteSToContact", .Family = UM, .Rules = {"contact=s"}, .Status = &Erase::StoppedProcess},
        TSweepRow{.Name = "ByteSToTheErase", .Family = UM, .Rules = {"erase=s"}, .Status = &Erase::StoppedProcess},
        // Five passes: the box only when the last one did not end in a time-out.
        TSweepRow{.Name = "PreviousUpdateOnEveryPass", .Family = UM, .Rules = {"contact=Q*5"},
                  .Boxes = {RetriesSpentBox}, .Status = &Erase::MaxRetries},
        TSweepRow{.Name = "PreviousUpdateThenSilenceOnTheLastPass", .Family = UM,
                  .Rules = {"contact=Q*4", "contact=silent"}, .Status = &Erase::MaxRetries},
        // The cable pulled during the status hold before a command: its write fails.
        TSweepRow{.Name = "ContactRequestCannotBeWritten", .Family = UM, .Host = THost::CutOnStatus,
                  .Trigger = &Erase::WaitingForUnit, .Status = &LinkTexts::SendFailed},
        TSweepRow{.Name = "EraseCommandCannotBeWritten", .Family = UM, .Host = THost::CutOnStatus,
                  .Trigger = &Erase::InitialContact, .Status = &LinkTexts::SendFailed},
        // Pulled while an answer is awaited: the failed read counts as a stop.
        TSweepRow{.Name = "LineCutWhileAwaitingContact", .Family = UM, .Rules = {"contact=hangup"},
                  .Status = &Erase::StoppedProcess},
        TSweepRow{.Name = "EraseNeverAnswered", .Family = UM, .Rules = {"erase=silent"}, .Status = &Erase::MaxRetries}),
    RowName);

// ---------------------------------------------------------------------------------------------
// The two bootloader flows share their start: the download, the contact, the file

std::vector<TSweepRow> BootloaderStart(TFamily family)
{
    return {
        {.Name = "StopWhilePreparingTheBootloader", .Family = family, .Host = THost::StopOnStatus,
         .Trigger = &Boot::PreparingBootloader, .Status = &FlowTexts::BootloaderStopped, .NothingSent = true},
        {.Name = "StopWhileTheUnitStartsTheBootloader", .Family = family, .Host = THost::StopOnStatus,
         .Trigger = &Boot::BootloaderSent, .Status = &FlowTexts::BootloaderStopped},
        // The cable pulled while "Sending" is on view: the lead-in byte cannot be written.
        {.Name = "LeadInCannotBeWritten", .Family = family, .Host = THost::CutOnStatus,
         .Trigger = &Boot::SendingBootloader, .Status = &FlowTexts::BootloaderFailed},
        // Pulled while the unit starts its bootloader: the contact request cannot be written.
        {.Name = "ContactCannotBeWritten", .Family = family, .Host = THost::CutOnStatus,
         .Trigger = &Boot::BootloaderSent, .Status = &LinkTexts::SendFailed},
        {.Name = "LineCutWhileAwaitingContact", .Family = family, .Rules = {"contact=hangup"},
         .Status = &FlowTexts::NoContact},
        // The failed read of the end's answer ends the run as a stop, without a question.
        {.Name = "LineCutWhileAwaitingTheEnd", .Family = family, .Rules = {"end=hangup"},
         .Status = &LinkTexts::UserStopped, .Progress = 2},
        {.Name = "ContactAnsweredByAnotherByte", .Family = family, .Rules = {"contact=Z"},
         .Status = &FlowTexts::NoContact},
        {.Name = "ContactNotAnswered", .Family = family, .Rules = {"contact=silent"}, .Status = &FlowTexts::NoContact},
        // A stop during the contact wait ends the run as a failed contact.
        {.Name = "StopConfirmedWhileAwaitingContact", .Family = family, .Rules = {"contact=silent*1"},
         .Host = THost::StopWhileUnitSilent, .Boxes = {StopPrompt}, .Status = &FlowTexts::NoContact},
        {.Name = "FileGoneDuringTheDownload", .Family = family, .Host = THost::DeleteOnStatus,
         .Trigger = &Boot::PreparingBootloader, .Boxes = {FileUnreadableBox},
         .Status = &FlowTexts::FileUnreadableStatus},
        {.Name = "FileLosesItsEndRecordDuringTheDownload", .Family = family, .Host = THost::DropEndOnStatus,
         .Trigger = &Boot::PreparingBootloader, .Boxes = {EofBox}, .Status = &FlowTexts::EofStatus, .Progress = 2},
        // Stop pressed as the records are about to go: the flow's own question at the first pass.
        {.Name = "StopConfirmedAtTheFlowsPrompt", .Family = family, .Host = THost::StopOnStatus,
         .Trigger = &FlowTexts::Updating, .Boxes = {StopPrompt}, .Status = &LinkTexts::UserStopped, .ItemsTaken = 0},
        {.Name = "StopConfirmedWhileAwaitingTheEnd", .Family = family, .Rules = {"end=silent*1"},
         .Host = THost::StopWhileUnitSilent, .Boxes = {StopPrompt}, .Status = &LinkTexts::UserStopped, .Progress = 2},
        {.Name = "EndAnsweredByAnotherByte", .Family = family, .Rules = {"end=Z"}, .Status = &FlowTexts::WrongResponse,
         .Progress = 2},
        {.Name = "EndNotAnswered", .Family = family, .Rules = {"end=silent"}, .Status = &FlowTexts::WrongResponse,
         .Progress = 2},
        {.Name = "ByteSToTheEndWithoutStop", .Family = family, .Rules = {"end=s"}, .Status = &FlowTexts::WrongResponse,
         .Progress = 2},
    };
}

// ---------------------------------------------------------------------------------------------
// Resistor monitors: byte by byte (two records of two data bytes; the third byte is the first
// of the second record)

class ResistorMonitor : public ::testing::TestWithParam<TSweepRow> {};
TEST_P(ResistorMonitor, Row) { TSweepRun(GetParam()).Run(); }

const TFamily MON = TFamily::Monitor;

TSweepRow LetterRow(const char *name, const char *rule, const QString &box, const QString &status)
{
    return {.Name = name, .Family = MON, .Rules = {rule}, .Boxes = {UpdateError(box)}, .Status = &status, .Progress = 1};
}

INSTANTIATE_TEST_SUITE_P(
    Sweep, ResistorMonitor,
    ::testing::ValuesIn(
        BeforeTheUnit(MON) + BootloaderStart(MON) +
        std::vector<TSweepRow>{
            {.Name = "StopConfirmedWhileAwaitingAnEcho", .Family = MON, .Rules = {"byte@3=silent*1"},
             .Host = THost::StopWhileUnitSilent, .Boxes = {StopPrompt}, .Status = &LinkTexts::UserStopped,
             .Progress = 1, .ItemsTaken = 3},
            {.Name = "LineCutWhileAwaitingAnEcho", .Family = MON, .Rules = {"byte@3=hangup"},
             .Status = &LinkTexts::UserStopped, .Progress = 1, .ItemsTaken = 3},
            // The first byte of the second record goes out and is echoed before the bad digit.
            {.Name = "LowerCaseHexDigit", .Family = MON, .Status = &Monitor::HexProblem, .Progress = 1,
             .File = TFileKind::LowerCaseDigit},
            {.Name = "RecordGoesPastTheTopAddress", .Family = MON, .Status = &Monitor::AddressOverflow,
             .File = TFileKind::PastTopAddress},
            LetterRow("ErrorE", "byte@3=E", Monitor::ErrorEBox, Monitor::ErrorEStatus),
            LetterRow("ErrorF", "byte@3=F", FlowTexts::ErrorFBox, FlowTexts::ErrorFStatus),
            LetterRow("ErrorR", "byte@3=R", FlowTexts::ErrorRBox, FlowTexts::ErrorRStatus),
            LetterRow("ErrorV", "byte@3=V", Monitor::ErrorVBox, Monitor::ErrorVStatus),
            LetterRow("ErrorS", "byte@3=S", Monitor::ErrorSBox, Monitor::ErrorSStatus),
            {.Name = "EchoNotAnswered", .Family = MON, .Rules = {"byte@3=silent"}, .Status = &FlowTexts::NoResponse,
             .Progress = 1},
            {.Name = "EchoIsAnotherByte", .Family = MON, .Rules = {"byte@3=Z"}, .Status = &FlowTexts::WrongResponse,
             .Progress = 1},
            // A byte "t" that arrived is an answer, not a time-out.
            {.Name = "ByteTToADataByteIsAnAnswer", .Family = MON, .Rules = {"byte@3=0x74"},
             .Status = &FlowTexts::WrongResponse, .Progress = 1},
            // The one good ending among the outcomes: the end acknowledged.
            {.Name = "EndAcknowledged", .Family = MON, .Boxes = {{&FlowTexts::UpdateDoneTitle, &FlowTexts::UpdateDoneBox}},
             .Status = &FlowTexts::UpdateComplete, .Progress = 2, .ItemsTaken = 4},
            {.Name = "ByteSToADataByteWithoutStop", .Family = MON, .Rules = {"byte@3=s"},
             .Status = &FlowTexts::WrongResponse, .Progress = 1},
        }),
    RowName);

// ---------------------------------------------------------------------------------------------
// Communications modules: record by record (two records; the second fails)

class CommsModule : public ::testing::TestWithParam<TSweepRow> {};
TEST_P(CommsModule, Row) { TSweepRun(GetParam()).Run(); }

const TFamily MOD = TFamily::Module;

INSTANTIATE_TEST_SUITE_P(
    Sweep, CommsModule,
    ::testing::ValuesIn(
        BeforeTheUnit(MOD) + BootloaderStart(MOD) +
        std::vector<TSweepRow>{
            {.Name = "StopConfirmedWhileAwaitingARecordAnswer", .Family = MOD, .Rules = {"record@2=silent*1"},
             .Host = THost::StopWhileUnitSilent, .Boxes = {StopPrompt}, .Status = &LinkTexts::UserStopped,
             .Progress = 1, .ItemsTaken = 2},
            {.Name = "LineCutWhileAwaitingARecordAnswer", .Family = MOD, .Rules = {"record@2=hangup"},
             .Status = &LinkTexts::UserStopped, .Progress = 1, .ItemsTaken = 2},
            {.Name = "ErrorE", .Family = MOD, .Rules = {"record@2=E"}, .Boxes = {UpdateError(Module::ErrorEBox)},
             .Status = &Module::ErrorEStatus, .Progress = 1},
            {.Name = "ErrorC", .Family = MOD, .Rules = {"record@2=C"}, .Boxes = {UpdateError(Module::ErrorCBox)},
             .Status = &FlowTexts::ErrorCStatus, .Progress = 1},
            {.Name = "RecordNotAnswered", .Family = MOD, .Rules = {"record@2=silent"}, .Status = &FlowTexts::NoResponse,
             .Progress = 1},
            // A byte "t" reads like a time-out.
            {.Name = "ByteTToARecord", .Family = MOD, .Rules = {"record@2=0x74"}, .Status = &FlowTexts::NoResponse,
             .Progress = 1},
            {.Name = "RecordAnsweredByAnotherByte", .Family = MOD, .Rules = {"record@2=Z"},
             .Status = &FlowTexts::WrongResponse, .Progress = 1},
            {.Name = "ByteSToARecordWithoutStop", .Family = MOD, .Rules = {"record@2=s"},
             .Status = &FlowTexts::WrongResponse, .Progress = 1},
        }),
    RowName);

} // namespace
