#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>

#include "protocols/UpdateFlows.h"
#include "unitsim/FaultScript.h"
#include "unitsim/UnitModel.h"

// An update-mode unit (relays with an update mode in their firmware): contact "P" -> "P" (or
// "Q"), erase "p" -> "p" (or "E") after the erase time, then one S-record line per CR LF,
// answered "." or, for the termination record (S7, S8 or S9), "!"; "Q" quits, "X" after "!"
// restarts.
class TUpdateModeUnit : public TUnitModel {
public:
    explicit TUpdateModeUnit(TFaultScript script = {});
    void FromHost(const QByteArray &bytes) override;
    QString Summary() const override;

    TFaultScript Script;
    QList<QByteArray> Lines;     // every line received (without CR LF), attempts included
    QList<QByteArray> Accepted;  // lines answered "." or "!", in order
    QByteArray Commands;         // single-byte commands received: P, p, Q, X
    int ContactRequests = 0;
    int EraseCommands = 0;
    bool Finished = false;       // answered "!"
    bool Quit = false;           // received "Q" in the line phase
    bool Restarted = false;      // received "X" after "!"
    QStringList Faults;          // fault rules applied, in order, as text
    int StrayBytes = 0;          // bytes that meant nothing where the unit stood

    // Where the unit stands in the exchange.
    enum class TPhase {
        AwaitContact, // waiting for "P"
        Contacted,    // answered "P", waiting for "p"
        Lines,        // flash erased, taking S-record lines
        Ended,        // answered "!", waiting for "X"
        QuitDone      // received "Q": answers nothing until the next "P"
    };
    TPhase Phase() const { return phase_; }

    // Between commands: not inside a line.
    bool AtRest() const { return phase_ != TPhase::Lines || line_.isEmpty(); }
    // The update is over: the host restarted the unit after "!" or quit.
    bool UpdateEnded() const { return Restarted || Quit; }

private:
    void Take(char c);
    void Contact();
    void Erase();
    void EndOfLine();

    TPhase phase_ = TPhase::AwaitContact;
    QByteArray line_; // the line being received, LF not yet seen
};

// What the resistor monitor and the communications module share in bootloader mode: before the
// download they listen only for the lead-in byte 0xF0, then take the block and compare it with
// their image; once the bootloader runs, "." between commands is contact, "!" is the end, 0xF0
// starts a new download (the technician put the unit back into bootloader mode for another run),
// and any other byte is the family's own to judge.
class TBootloaderUnit : public TUnitModel {
public:
    void FromHost(const QByteArray &bytes) override;

    TFaultScript Script;
    QByteArray Block;               // the block received after 0xF0
    bool BlockMatchesImage = false; // equal to the unit's bootloader block
    int ContactRequests = 0;
    bool Finished = false;
    int BlocksReceived = 0;         // complete downloads (a rerun downloads again)
    int EndCommands = 0;
    QStringList Faults;
    int StrayBytes = 0;

    bool AtRest() const { return phase_ == TPhase::AwaitLeadIn || phase_ == TPhase::Ready; }
    bool UpdateEnded() const { return Finished; }

protected:
    TBootloaderUnit(TFaultScript script, TBootloaderImage image, int blockSize);

    // A byte between commands other than ".", "!" and 0xF0: true when it opens a command whose
    // further bytes go to TakeCommandByte.
    virtual bool BeginCommand(char c) = 0;
    // A byte of the command under way: true when it completed the command.
    virtual bool TakeCommandByte(char c) = 0;

    // The summary's first lines (family, bootloader, contact) and its last (end, stray bytes,
    // faults).
    QStringList SummaryHead(const QString &family, const QString &imageName) const;
    QStringList SummaryTail() const;

private:
    enum class TPhase { AwaitLeadIn, Block, Ready, Command };
    void Take(char c);

    TBootloaderImage image_;
    int blockSize_;
    TPhase phase_ = TPhase::AwaitLeadIn;
};

// A resistor monitor in bootloader mode: 0xF0 and the 513-byte block, then "." -> ".", per data
// byte "S", address high, address low, data -> the data byte echoed (or an error letter),
// "!" -> "!".
class TMonitorUnit : public TBootloaderUnit {
public:
    explicit TMonitorUnit(TFaultScript script = {});
    QString Summary() const override;

    QMap<int, quint8> Programmed;   // address -> byte programmed (acknowledged)
    int DataCommands = 0;           // data-byte commands received, answered or not
    int BytesAccepted = 0;          // data-byte commands answered with the echo

    static constexpr int BlockSize = 513;

protected:
    bool BeginCommand(char c) override;
    bool TakeCommandByte(char c) override;

private:
    QByteArray command_; // address high, address low, data of the command being received
};

// A communications module in bootloader mode: 0xF0 and the 1024-byte block, then "." -> ".",
// each S1 record text followed by ":" -> "." (or "E", "C"), "!" -> "!".
class TModuleUnit : public TBootloaderUnit {
public:
    explicit TModuleUnit(TFaultScript script = {});
    QString Summary() const override;

    QList<QByteArray> Records;      // record texts received (without ":"), in order
    int RecordsAccepted = 0;        // records answered "."

    static constexpr int BlockSize = 1024;

protected:
    bool BeginCommand(char c) override;
    bool TakeCommandByte(char c) override;

private:
    QByteArray record_; // the record text being received, ":" not yet seen
};

// The unit families a simulated unit can play.
enum class TUnitFamily { None, UpdateMode, Monitor, Module };
QString UnitFamilyName(TUnitFamily family);

// A unit that answers whichever protocol arrives: "P" makes it an update-mode unit; the lead-in
// byte 0xF0 starts a bootloader download, and the block decides: the monitor's 513-byte block
// makes it a resistor monitor, anything else is read on to 1024 bytes as a module's block.
// A new "P" or 0xF0 between commands hands over again, so one simulated unit serves one update
// of each unit type after another.
class TAnyUnit : public TUnitModel, private TUnitLine {
public:
    explicit TAnyUnit(TFaultScript script = {});
    void FromHost(const QByteArray &bytes) override;
    QString Summary() const override;

    // The family that answers now (None before the first command).
    TUnitFamily Family() const { return family_; }
    bool UpdateEnded() const;
    bool Finished() const; // the family now answering acknowledged the end of an update

    TUpdateModeUnit UpdateMode;
    TMonitorUnit Monitor;
    TModuleUnit Module;
    QList<TUnitFamily> FamiliesRun; // each hand-over, in order
    int StrayBytes = 0;             // bytes before any protocol began

private:
    void SendToHost(const QByteArray &bytes, qint64 delayMs) override { Answer(bytes, delayMs); }
    void HangUp(qint64 delayMs) override { Respond(std::nullopt, delayMs, true); }
    void Take(char c);
    void HandOver(TUnitFamily family);
    bool ActiveAtRest() const;

    TUnitFamily family_ = TUnitFamily::None;
    bool deciding_ = false;  // a download is under way and its family not yet known
    QByteArray download_;    // 0xF0 and the block bytes so far, while deciding
    QByteArray monitorBlock_;
};
