// The engine's one entry point: the flow of each unit type's row, at that flow's bit rate with
// its question, the file checked with the row's record variant, and a link state that says which
// unit type is being updated.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "protocols/FlowTexts.h"
#include "protocols/UpdateEngine.h"
#include "tests/protocols/bootloader_flow_rig.h"
#include "tests/protocols/expected_outcome.h"
#include "tests/protocols/updatemode_rig.h"

namespace {

struct TEntryCase {
    int Code;
    int BitRate;
    const char *Question; // the Begin question the technician answers
};

void PrintTo(const TEntryCase &c, std::ostream *os) { *os << "unit " << c.Code; }

const char *const UpdateModeQuestion =
    "Please set the unit to UPDATE mode (see help file for details). The flash memory will be ERASED and "
    "UPDATED.  Do you want to continue?";
const char *const BootloaderQuestion =
    "Please set unit to BOOTLOADER mode now  (see help file for details). Do you want to continue?";

class RunUpdateEntry : public ::testing::TestWithParam<TEntryCase> {};

TEST_P(RunUpdateEntry, RunsTheFlowOfTheUnitTypesRow)
{
    const TEntryCase &c = GetParam();
    const TUnitType *unit = FindUnitType(c.Code);
    ASSERT_NE(unit, nullptr);
    QTemporaryDir dir;
    TVirtualClock clock;
    TInProcessPort port(clock);
    port.SetPort(QStringLiteral("ttyS0"));
    TWizardState state;
    state.SelectedUnit = 99;
    TRecordingSurface surface(&clock);
    surface.FileName = updatemode_rig::WriteFile(dir, "update.s19", {HeaderLine, EndLine});
    surface.Answers = {false}; // No to the Begin question: nothing goes out to a unit
    TLink link(surface, port, clock, state);

    const TUpdateOutcome outcome = RunUpdate(link, *unit);

    EXPECT_TRUE(EndedAs(outcome, Ends::Stopped()));
    EXPECT_EQ(state.SelectedUnit, c.Code);
    ASSERT_EQ(port.OpenBitRates.size(), 2) << "the probe's open, then the flow's own";
    EXPECT_EQ(port.OpenBitRates[1], c.BitRate);
    EXPECT_EQ(surface.Timeline(),
              (QStringList{"status: Ready.", QStringLiteral("ask[Begin Update?]: %1 -> no").arg(c.Question),
                           "status: User has stopped the update."}));
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(port.Writes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryUnitType, RunUpdateEntry,
    ::testing::Values(TEntryCase{1, 57600, UpdateModeQuestion}, TEntryCase{2, 57600, UpdateModeQuestion},
                      TEntryCase{6, 57600, UpdateModeQuestion}, TEntryCase{11, 57600, UpdateModeQuestion},
                      TEntryCase{12, 57600, UpdateModeQuestion}, TEntryCase{16, 57600, UpdateModeQuestion},
                      TEntryCase{3, 19200, UpdateModeQuestion}, TEntryCase{13, 19200, UpdateModeQuestion},
                      TEntryCase{4, 9600, BootloaderQuestion}, TEntryCase{5, 9600, BootloaderQuestion}),
    [](const auto &info) { return "Unit" + std::to_string(info.param.Code); });

// The record variant comes from the row handed in, not from the unit type's code.
struct TVariantCase {
    const char *Name;
    TRecordVariant RowVariant;
    bool Completes;
};

class RunUpdateRowVariant : public ::testing::TestWithParam<TVariantCase> {};

TEST_P(RunUpdateRowVariant, ChecksTheFileWithTheRowsVariant)
{
    using namespace updatemode_rig;
    QTemporaryDir dir;
    TRig rig;
    rig.Surface.FileName = WriteFile(dir, "T42update.s19", UpdateLines(TRecordVariant::Addr32, 3));
    TUnitType row = *FindUnitType(12);
    row.Variant = GetParam().RowVariant;

    const TUpdateOutcome outcome = RunUpdate(rig.Link, row);

    EXPECT_EQ(outcome.IsCompleted(), GetParam().Completes);
    if (!GetParam().Completes) {
        EXPECT_TRUE(EndedAs(outcome, Ends::File(TFileProblem::NotValid)));
        EXPECT_EQ(rig.LastShown(), "status: Update file format was not valid. Update stopped.");
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, RunUpdateRowVariant,
                         ::testing::Values(TVariantCase{"RowAsInTheCatalogue", TRecordVariant::Addr32, true},
                                           TVariantCase{"RowWithAnotherVariant", TRecordVariant::Addr24, false}),
                         [](const auto &info) { return std::string(info.param.Name); });

// Each run starts with the port's failure mark cleared: a cable pulled in an earlier run does
// not make a later stop read as a failed line.
TEST(RunUpdateLink, AnEarlierPortFailureDoesNotColourTheNextRun)
{
    TFlowRig rig(TFlowKind::Module);
    rig.WriteRecords(2);
    rig.Link.PortFailed = true;
    // Stop confirmed while the unit keeps silent after the end request.
    rig.AddFault(TUnitStage::End, 0, std::nullopt);
    rig.OnceLastWrite("!", [&rig] { rig.State.StopRequested = true; });

    const TUpdateOutcome outcome = RunUpdate(rig.Link, *FindUnitType(4));

    EXPECT_TRUE(EndedAs(outcome, Ends::Stopped()));
    EXPECT_EQ(outcome.Acknowledged, 2);
    EXPECT_FALSE(rig.Link.PortFailed);
}

} // namespace
