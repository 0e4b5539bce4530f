#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "unitsim/UnitModel.h"

// A simulated unit behind a pseudo-terminal: the host opens the slave side (or a symbolic link
// to it, such as /dev/ttyV0) as if it were a serial port, and the model answers on the master
// side. The model runs on a thread of its own with a poll() loop; answers leave after their
// delay, in real time.
//
// The host may open and close the slave as often as it likes (the program probes ports by
// opening and closing them). The unit keeps a slave descriptor of its own open the whole time,
// so the master never sees a hang-up between the host's opens and the line settings survive.
//
// The unit can pull the cable: it closes the master (and its own hold on the slave), so the
// host's reads and writes on the slave fail as on a line that is gone, and the slave's name
// disappears. Reconnect() then plugs in a new line behind the same link.
//
// Pseudo-terminals exist on POSIX systems only; elsewhere Start() fails with a reason.
class TPtyUnit : public TUnitLine {
public:
    explicit TPtyUnit(TUnitModel &model);
    ~TPtyUnit() override;
    TPtyUnit(const TPtyUnit &) = delete;
    TPtyUnit &operator=(const TPtyUnit &) = delete;

    // Line pacing in bits per second (0: off). Each byte to and from the host then takes its
    // time on the wire, 10 bits per byte. Set before Start().
    int PaceBaud = 0;

    // The line's end of a USB serial adapter between the unit and the host (0: none): every
    // byte the unit sends is held after its time on the wire until the adapter's latency timer,
    // started by the first byte of a batch, runs out, and the batch then reaches the host at
    // once (FTDI's adapters hold bytes 16 ms by default, 1 ms in low-latency mode). The host's
    // end of the adapter is TUsbAdapterPort. Set before Start().
    int AdapterLatencyMs = 0;

    // Pulls the cable once the host has sent this many bytes since Start() or Reconnect()
    // (-1: never), CutDelayMs after the last of them arrived; the unit takes no byte beyond
    // that count. Set before Start() or Reconnect().
    qint64 CutAfterHostBytes = -1;
    qint64 CutDelayMs = 0;

    // Opens the pseudo-terminal (raw mode) and starts the unit's thread. False, with the reason
    // in error, when the pseudo-terminal cannot be made.
    bool Start(QString *error = nullptr);

    // Makes linkPath a symbolic link to the slave. A dangling link left by an earlier run is
    // replaced; anything else at that path is kept and the call fails with the reason.
    bool MakeLink(const QString &linkPath, QString *error = nullptr);

    // Ends the thread, removes the link (when it still points to this unit's slave) and closes
    // the pseudo-terminal. Afterwards the model may be read directly. Safe to call twice.
    void Stop();

    // Pulls the cable delayMs from now, once every answer due by then has gone out. May be
    // called from any thread; the model calls it through its line.
    void HangUp(qint64 delayMs) override;

    // True from the cut until Reconnect(); Cuts() counts the cuts.
    bool LineCut() const { return cut_; }
    int Cuts() const { return cuts_; }

    // Plugs in a new line: a new pseudo-terminal, with the link (when there is one) pointing to
    // it, the model unchanged. False, with the reason in error, when it cannot be made.
    bool Reconnect(QString *error = nullptr);

    bool Running() const { return thread_.joinable(); }
    QString SlavePath() const { return slavePath_; }
    QString LinkPath() const { return linkPath_; }

    // Runs fn with the model while the unit's thread leaves it alone.
    void WithModel(const std::function<void(TUnitModel &)> &fn);

    // Bytes taken from the host and given to it so far.
    qint64 BytesFromHost() const { return fromHost_; }
    qint64 BytesToHost() const { return toHost_; }

    // The model's way back to the host (called on the unit's thread, inside FromHost).
    void SendToHost(const QByteArray &bytes, qint64 delayMs) override;

    // Exchange timing, for measuring the host's turnaround and the line's throughput. Set
    // before Start(): the unit then notes, for every answer, when its last byte went into the
    // master (after its time on the wire when paced) and when the first byte of whatever the
    // host sent next came out of the master. Times are steady-clock nanoseconds (NowNs).
    bool TimeExchanges = false;

    struct TExchange {
        QByteArray Answer;             // the answer, as the model gave it
        qint64 AnswerOutNs = 0;        // its last byte written to the master
        qint64 NextInNs = -1;          // the host's next byte read from the master; -1: none yet
        char NextByte = 0;             // that byte
        qint64 HostBytesBeforeNext = 0; // bytes read from the master before that byte
        qint64 UnitBytesThrough = 0;   // bytes written to the master up to this answer's end
        qint64 HostBytesThrough = 0;   // bytes read from the master by then
    };
    // The exchanges noted so far, oldest first.
    std::vector<TExchange> Exchanges() const;
    void ClearExchanges();
    static qint64 NowNs();

    // Bytes read from the master (the host's bytes as they entered the line), paced or not.
    qint64 BytesReadFromHost() const { return readFromHost_; }

private:
    using TClock = std::chrono::steady_clock;
    struct TTimedByte {
        TClock::time_point At;
        char Byte;
        bool EndsAnswer = false;
        TClock::time_point Due{}; // when the answer it belongs to was due (answers only)
    };

    void Run();
    void Wake();
    TClock::duration ByteTime() const;
    void MoveDueAnswers(TClock::time_point now);
    void DeliverDueInput(TClock::time_point now);
    void WriteDueOutput(TClock::time_point now);
    void ReadInput(TClock::time_point now);
    bool CutDue(TClock::time_point now);
    void CutLine();
    void CloseLine();

    TUnitModel &model_;
    std::mutex modelMutex_;

    int master_ = -1;
    int slave_ = -1;   // the unit's own hold on the slave side
    int wake_[2] = {-1, -1};
    QString slavePath_;
    QString linkPath_;
    std::thread thread_;
    std::atomic<std::thread::id> unitThread_{};
    std::atomic<bool> stop_{false};

    std::mutex answersMutex_;
    std::multimap<TClock::time_point, QByteArray> answers_; // scheduled, not yet on the wire
    std::deque<TTimedByte> out_;  // on the wire to the host
    std::deque<TTimedByte> in_;   // on the wire from the host
    TClock::time_point lastOut_{};
    std::optional<TClock::time_point> latencyFlush_; // when the adapter's held batch goes on
    TClock::time_point lastIn_{};
    bool outBlocked_ = false;     // the master's buffer is full; wait for POLLOUT
    // While the model takes the host's bytes: when the last of them was through the wire.
    std::optional<TClock::time_point> answerBase_;

    std::atomic<qint64> fromHost_{0};
    std::atomic<qint64> toHost_{0};
    std::atomic<qint64> readFromHost_{0};

    // The pulled cable.
    std::optional<TClock::time_point> cutAt_; // guarded by answersMutex_
    std::atomic<bool> cut_{false};
    std::atomic<int> cuts_{0};
    qint64 readSinceStart_ = 0;
    bool cutArmed_ = false;
    bool discardInput_ = false; // the host's bytes beyond the cut
    bool attached_ = false;     // the model answers through this line
    TClock::time_point lastWrite_{}; // the last bytes written to the master

    // Exchange timing (TimeExchanges).
    void NoteAnswerOut(TClock::time_point at);
    void NoteHostIn(TClock::time_point at, char first);
    std::deque<QByteArray> answersOnWire_; // answers whose last byte is still queued
    mutable std::mutex exchangesMutex_;
    std::vector<TExchange> exchanges_;
};
