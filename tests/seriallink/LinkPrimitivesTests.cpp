// The link primitives on virtual time, over the in-process port.
#include <gtest/gtest.h>

#include <climits>

#include "seriallink/LinkPrimitives.h"
#include "updatefile/HexDigit.h"
#include "seriallink/LinkTexts.h"
#include "tests/support/RecordingSurface.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/VirtualClock.h"

namespace {

constexpr qint64 OneMinuteToMidnight = 86399000; // 23:59:59.000

class LinkOnVirtualTime : public ::testing::Test {
protected:
    explicit LinkOnVirtualTime(qint64 startOfDay = 9 * 3600 * 1000)
        : clock(startOfDay, 8), port(clock), surface(&clock), link(surface, port, clock, state)
    {
        port.SetPort(QStringLiteral("COM3"));
    }

    // The far end puts bytes on the line after delayMs.
    void UnitSends(const QByteArray &bytes, qint64 delayMs) { port.SendToHost(bytes, delayMs); }
    void StopPressedAt(qint64 tick)
    {
        clock.ScheduleAt(tick, [this] { state.StopRequested = true; });
    }
    int Questions() const
    {
        int n = 0;
        for (const TSeen &s : surface.Seen)
            n += s.What == TSeen::Question;
        return n;
    }

    TVirtualClock clock;
    TInProcessPort port;
    TRecordingSurface surface;
    TWizardState state;
    TLink link;
};

// ---- PumpWait and ShowStatus ----

class PumpWaitNotPositive : public LinkOnVirtualTime, public ::testing::WithParamInterface<int> {};

TEST_P(PumpWaitNotPositive, ReturnsAtOnceWithoutDispatching)
{
    link.PumpWait(GetParam());
    EXPECT_EQ(surface.PumpCount, 0);
    EXPECT_EQ(clock.TickCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Values, PumpWaitNotPositive, ::testing::Values(0, -1, -2000, INT_MIN));

TEST_F(LinkOnVirtualTime, PumpWaitDispatchesAtLeastOnceAndEndsOnTime)
{
    link.PumpWait(1);
    EXPECT_GE(surface.PumpCount, 1);
    EXPECT_EQ(clock.TickCount(), 1);
    link.PumpWait(2500);
    EXPECT_EQ(clock.TickCount(), 2501);
}

class LinkBeforeMidnight : public LinkOnVirtualTime {
protected:
    LinkBeforeMidnight() : LinkOnVirtualTime(OneMinuteToMidnight) {}
};

TEST_F(LinkBeforeMidnight, PumpWaitAcrossMidnightEndsOnTime)
{
    link.PumpWait(2000);
    EXPECT_EQ(clock.TickCount(), 2000);
    const TWallTime end = clock.WallClock();
    EXPECT_EQ(end.MsSinceMidnight, 1000); // 00:00:01.000
    EXPECT_EQ(end.DayOfMonth, 9);
}

TEST_F(LinkOnVirtualTime, PumpWaitEndsAfterTheStopIsSeen)
{
    StopPressedAt(3000);
    link.PumpWait(10000);
    EXPECT_EQ(clock.TickCount(), 3000);
    EXPECT_TRUE(state.StopRequested) << "PumpWait leaves the flag to its caller";
}

struct TStatusCase {
    const char *Name;
    int Seconds;
    qint64 StopAt; // -1: no Stop
    qint64 ReturnsAt;
};

class ShowStatusHold : public LinkOnVirtualTime, public ::testing::WithParamInterface<TStatusCase> {};

TEST_P(ShowStatusHold, SetsTheTextThenHoldsIt)
{
    if (GetParam().StopAt >= 0)
        StopPressedAt(GetParam().StopAt);
    link.ShowStatus(QStringLiteral("Erasing flash..."), GetParam().Seconds);
    EXPECT_EQ(surface.StatusText(), QStringLiteral("Erasing flash..."));
    ASSERT_FALSE(surface.Seen.isEmpty());
    EXPECT_EQ(surface.Seen.first().At, 0) << "the text shows before the hold";
    EXPECT_EQ(clock.TickCount(), GetParam().ReturnsAt);
    if (GetParam().Seconds <= 0) {
        EXPECT_EQ(surface.PumpCount, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Holds, ShowStatusHold,
                         ::testing::Values(TStatusCase {"NoHold", 0, -1, 0},
                                           TStatusCase {"NegativeHold", -3, -1, 0},
                                           TStatusCase {"TwoSeconds", 2, -1, 2000},
                                           TStatusCase {"TwoSecondsStoppedEarly", 2, 700, 700}),
                         [](const auto &info) { return std::string(info.param.Name); });

// ---- sends ----

struct TSendCase {
    const char *Name;
    std::function<int(const QByteArray &)> Fault; // unset: the write goes whole
    bool Open;
    bool SendCharResult;
    bool SendTextResult; // SendText("S1130000")
};

class SendResult : public LinkOnVirtualTime, public ::testing::WithParamInterface<TSendCase> {};

TEST_P(SendResult, TrueOnlyWhenEveryByteWent)
{
    port.WriteFault = GetParam().Fault;
    if (GetParam().Open)
        port.OpenPort();
    EXPECT_EQ(link.SendChar('P'), GetParam().SendCharResult);
    EXPECT_EQ(link.SendText("S1130000"), GetParam().SendTextResult);
    EXPECT_FALSE(state.StopRequested) << "a send never touches the Stop flag";
    EXPECT_EQ(surface.PumpCount, 0) << "a send never dispatches";
}

INSTANTIATE_TEST_SUITE_P(
    Writes, SendResult,
    ::testing::Values(
        TSendCase {"Whole", {}, true, true, true},
        TSendCase {"CutShortByOne", [](const QByteArray &t) { return int(t.size()) - 1; }, true, false, false},
        TSendCase {"NothingWritten", [](const QByteArray &) { return 0; }, true, false, false},
        TSendCase {"WriteFails", [](const QByteArray &) { return -1; }, true, false, false},
        TSendCase {"PortClosed", {}, false, false, false}),
    [](const auto &info) { return std::string(info.param.Name); });

struct TCharCase {
    int Value;
    char Byte;
};

class SendCharLowByte : public LinkOnVirtualTime, public ::testing::WithParamInterface<TCharCase> {};

TEST_P(SendCharLowByte, SendsExactlyOneByte)
{
    port.OpenPort();
    EXPECT_TRUE(link.SendChar(GetParam().Value));
    ASSERT_EQ(port.Writes.size(), 1);
    EXPECT_EQ(port.Writes.first(), QByteArray(1, GetParam().Byte));
}

INSTANTIATE_TEST_SUITE_P(Values, SendCharLowByte,
                         ::testing::Values(TCharCase {0, '\0'}, TCharCase {'p', 'p'}, TCharCase {0xF0, char(0xF0)},
                                           TCharCase {0x141, 'A'}, TCharCase {-1, char(0xFF)}));

TEST_F(LinkOnVirtualTime, SendTextGoesUnchangedAndEmptyIsNotSent)
{
    port.OpenPort();
    EXPECT_TRUE(link.SendText(QByteArray("S9030000FC\r\n", 12)));
    EXPECT_FALSE(link.SendText(QByteArray()));
    ASSERT_EQ(port.Writes.size(), 1);
    EXPECT_EQ(port.Writes.first(), QByteArray("S9030000FC\r\n"));
}

// ---- ReceiveChar ----

TEST_F(LinkOnVirtualTime, ReceiveCharOnASilentLineTimesOutJustAfterTheTimeOut)
{
    port.OpenPort();
    clock.Advance(1234); // the time-out counts from the call, not from the clock's start
    bool timedOut = false;
    EXPECT_EQ(link.ReceiveChar(5, &timedOut), "t");
    EXPECT_TRUE(timedOut);
    const qint64 waited = clock.TickCount() - 1234;
    EXPECT_GT(waited, 5000);
    EXPECT_LE(waited, 5010);
    EXPECT_FALSE(state.StopRequested);
}

TEST_F(LinkOnVirtualTime, ReceiveCharReturnsTheByteWhenItArrives)
{
    port.OpenPort();
    UnitSends("P", 1500);
    EXPECT_EQ(link.ReceiveChar(5), "P");
    EXPECT_EQ(clock.TickCount(), 1500);
    EXPECT_EQ(port.PendingInput(), QByteArray());
}

TEST_F(LinkOnVirtualTime, ReceiveCharTakesOneByteAtATime)
{
    port.OpenPort();
    UnitSends(".!", 10);
    EXPECT_EQ(link.ReceiveChar(1), ".");
    EXPECT_EQ(link.ReceiveChar(1), "!");
    EXPECT_EQ(link.ReceiveChar(0), "t");
}

// Bytes that read like the special results come back unchanged and leave the flag alone.
class ReceiveCharUnitByte : public LinkOnVirtualTime, public ::testing::WithParamInterface<char> {};

TEST_P(ReceiveCharUnitByte, ComesBackUnchanged)
{
    port.OpenPort();
    UnitSends(QByteArray(1, GetParam()), 200);
    bool timedOut = true;
    EXPECT_EQ(link.ReceiveChar(2, &timedOut), QByteArray(1, GetParam()));
    EXPECT_FALSE(timedOut) << "a unit byte is no time-out, whatever its letter";
    EXPECT_FALSE(state.StopRequested);
    EXPECT_EQ(Questions(), 0);
}

INSTANTIATE_TEST_SUITE_P(Bytes, ReceiveCharUnitByte, ::testing::Values('s', 't', '\0', char(0xFF)));

TEST_F(LinkOnVirtualTime, ReceiveCharAfterStopAnsweredNoKeepsCountingFromTheCall)
{
    port.OpenPort();
    surface.Answers = {false};
    StopPressedAt(2000);
    surface.OnQuestion = [this](const QString &) {
        EXPECT_TRUE(state.StopRequested);
        clock.Advance(4000); // the technician reads the box for four seconds
    };
    EXPECT_EQ(link.ReceiveChar(5), "t");
    EXPECT_FALSE(state.StopRequested) << "No clears the flag";
    EXPECT_EQ(Questions(), 1);
    EXPECT_EQ(clock.TickCount(), 6000) << "the box's time counts towards the time-out";
    ASSERT_FALSE(surface.Seen.isEmpty());
    EXPECT_EQ(surface.Seen.first().Title, LinkTexts::StopPromptTitle);
    EXPECT_EQ(surface.Seen.first().Text, LinkTexts::StopPromptText);
    EXPECT_TRUE(surface.Statuses().isEmpty());
}

TEST_F(LinkOnVirtualTime, ReceiveCharAfterStopAnsweredNoThenYesStops)
{
    port.OpenPort();
    surface.Answers = {false, true};
    StopPressedAt(1000);
    StopPressedAt(3000);
    UnitSends("P", 4500); // would arrive after the stop
    EXPECT_EQ(link.ReceiveChar(5), "s");
    EXPECT_EQ(clock.TickCount(), 3000);
    EXPECT_TRUE(state.StopRequested) << "Yes leaves the flag set for the flow";
    EXPECT_EQ(Questions(), 2);
    EXPECT_EQ(surface.Statuses(), QStringList {LinkTexts::UserStopped});
    EXPECT_EQ(surface.StatusText(), QStringLiteral("User has stopped the update."));
}

TEST_F(LinkOnVirtualTime, ReceiveCharTakesAWaitingByteBeforeLookingAtStop)
{
    port.OpenPort();
    UnitSends(".", 0);
    clock.RunDueEvents();
    state.StopRequested = true;
    EXPECT_EQ(link.ReceiveChar(5), ".");
    EXPECT_EQ(Questions(), 0);
}

struct TReadFailureCase {
    const char *Name;
    bool Open;
    bool ReadFails;
};

class ReceiveCharPortFailure : public LinkOnVirtualTime, public ::testing::WithParamInterface<TReadFailureCase> {};

TEST_P(ReceiveCharPortFailure, EndsAsAStop)
{
    if (GetParam().Open)
        port.OpenPort();
    port.ReadFails = GetParam().ReadFails;
    bool timedOut = true;
    EXPECT_EQ(link.ReceiveChar(5, &timedOut), "s");
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(state.StopRequested);
    EXPECT_EQ(Questions(), 0);
    EXPECT_EQ(clock.TickCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Failures, ReceiveCharPortFailure,
                         ::testing::Values(TReadFailureCase {"ReadFails", true, true},
                                           TReadFailureCase {"PortClosed", false, false}),
                         [](const auto &info) { return std::string(info.param.Name); });

// A port that gives no notice when its byte arrives (its driver has no byte watch): the byte is
// readable from tick 40 on, but no event wakes a sleeping wait for it.
class TUnnoticedBytePort : public TInProcessPort {
public:
    explicit TUnnoticedBytePort(TVirtualClock &clock) : TInProcessPort(clock), Clock(clock) {}
    int ReceivePollMs() const override { return 5; }
    int ReadBytes(QByteArray &text, int n) override
    {
        text.clear();
        if (n < 1 || taken || Clock.TickCount() < 40)
            return 0;
        taken = true;
        text = "P";
        return 1;
    }
    TVirtualClock &Clock;
    bool taken = false;
};

TEST_F(LinkOnVirtualTime, ReceiveCharLooksAgainEveryFewMillisecondsWhenThePortCannotWakeIt)
{
    TUnnoticedBytePort quiet(clock);
    TLink polling {surface, quiet, clock, state};
    quiet.OpenPort();
    EXPECT_EQ(polling.ReceiveChar(5), "P");
    EXPECT_GE(clock.TickCount(), 40);
    EXPECT_LE(clock.TickCount(), 45) << "the wait slept towards its deadline";
}

// ---- port probes ----

TEST_F(LinkOnVirtualTime, ProbeLeavesThePortClosedOnTheProbedName)
{
    port.BusyPorts = {QStringLiteral("COM7")};
    port.OpenPort();

    EXPECT_TRUE(link.ProbePort(QStringLiteral("COM12")));
    EXPECT_FALSE(port.Connected()) << "a port open before the probe is closed by it";
    EXPECT_EQ(port.Port(), QStringLiteral("COM12"));

    EXPECT_FALSE(link.ProbePort(QStringLiteral("COM7")));
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), QStringLiteral("COM7"));
    EXPECT_FALSE(link.ProbeSelectedPort());

    port.BusyPorts.clear();
    EXPECT_TRUE(link.ProbeSelectedPort());
    EXPECT_EQ(port.OpenCount, port.CloseCount);
}

// ---- hexadecimal digits ----

struct THexCase {
    char Digit;
    int Value;
};

class HexDigit : public ::testing::TestWithParam<THexCase> {};

TEST_P(HexDigit, Value)
{
    EXPECT_EQ(HexDigitValue(GetParam().Digit), GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(Digits, HexDigit,
                         ::testing::Values(THexCase {'0', 0}, THexCase {'9', 9}, THexCase {'A', 10},
                                           THexCase {'F', 15}, THexCase {'a', -1}, THexCase {'f', -1},
                                           THexCase {'G', -1}, THexCase {'/', -1}, THexCase {':', -1},
                                           THexCase {'@', -1}, THexCase {' ', -1}, THexCase {'\0', -1},
                                           THexCase {char(0xC1), -1}));

} // namespace
