#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// One program at a time owns a controller: the one holding its owner lock. What the
// others learn of the holder, and the small line protocol a borrower speaks with a
// holder that lends (the headless watch). Pure: the lock and the socket live in
// src/platform/owner_lock.*.
namespace vardex::link {

// Who holds a controller, as written beside its lock for others to read.
struct OwnerRecord {
    QString program; // "vardex", "vardex-demo", "vardex-cli state", "vardex-cli watch"
    qint64 pid = 0;
    QString unit;       // the systemd unit, when the holder runs as one
    bool lends = false; // a borrower may ask for the controller (the watch)

    bool operator==(const OwnerRecord &) const = default;
};

// A record is a few key=value lines; anything longer than this is not one.
inline constexpr int kOwnerRecordMaxBytes = 1024;

QByteArray encodeOwnerRecord(const OwnerRecord &record);
// Empty when the bytes are not a whole record (a holder still writing it, a stray file).
std::optional<OwnerRecord> decodeOwnerRecord(const QByteArray &bytes);

// "vardex-cli watch (pid 412, служба vardex-watch@router.service)".
QString holderText(const OwnerRecord &record);
// What a program that found the controller held says, with what to do.
QString heldText(const std::optional<OwnerRecord> &holder);

// A lock-file name for a controller: the serial number when the controller has one,
// else where it sits on the bus. Only letters, digits, '.', '_' and '-' remain.
QString ownerKeyForSerial(const QString &serial);
QString ownerKeyForPath(const QString &path);
// A simulated controller's: two programs with the demo's controller contend for it.
QString ownerKeyForSimulated(const QString &id);

// The outcome of asking for a controller.
struct Claim {
    bool granted = false;
    std::optional<OwnerRecord> holder; // when refused because another program holds it
    QString error;                     // the words for a refusal
};

// Takes and releases owner locks; installed on a Transport, whose open() asks it first.
class OwnerGate {
public:
    virtual ~OwnerGate() = default;
    virtual Claim claim(const QString &key) = 0;
    virtual void release(const QString &key) = 0;
    // The holder of key now, if any (nothing is taken to find out).
    virtual std::optional<OwnerRecord> holder(const QString &key) const = 0;
    // Asks a holder that lends for the controller and keeps the loan for the next claim of
    // key (released with it). Blocks until the holder answers (bounded): off the GUI thread.
    virtual Claim borrow(const QString &key) = 0;
};

// ---- lending ----------------------------------------------------------------------------------
//
// The borrower connects to the holder's socket and sends its record followed by an empty
// line. The holder answers with lines: "wait MS" (a pulse is finishing: MS more at most),
// then "lent" once it has let the controller go, or "refused TEXT". The loan lasts as long
// as the connection: the borrower closes it (or the kernel does, when it dies) to give the
// controller back.

inline constexpr int kLendLineMaxBytes = 512;

QByteArray encodeBorrowRequest(const OwnerRecord &borrower);
QByteArray lendWaitLine(int ms);
QByteArray lendLentLine();
QByteArray lendRefusedLine(const QString &why);

// The borrower's side: feed it what arrives; it says where the request stands.
class BorrowExchange {
public:
    enum class State { Asking, Waiting, Lent, Refused, Broken };

    // How long the holder may take for its first word, and beyond a "wait" it announced.
    static constexpr int kAnswerMs = 2000;

    void feed(const QByteArray &bytes);
    // The connection ended before the holder lent or refused.
    void closed();
    State state() const { return m_state; }
    bool finished() const
    {
        return m_state == State::Lent || m_state == State::Refused || m_state == State::Broken;
    }
    // How long from the last line the borrower goes on waiting.
    int patienceMs() const { return m_patienceMs; }
    QString refusal() const { return m_refusal; }

private:
    void line(const QByteArray &text);

    State m_state = State::Asking;
    QByteArray m_buffer;
    int m_patienceMs = kAnswerMs;
    QString m_refusal;
};

// The holder's side: the request, once its empty line has arrived.
class LendRequestReader {
public:
    // True once the request is whole (or broken: then borrower() is empty).
    bool feed(const QByteArray &bytes);
    const std::optional<OwnerRecord> &borrower() const { return m_borrower; }
    bool broken() const { return m_broken; }

private:
    QByteArray m_buffer;
    std::optional<OwnerRecord> m_borrower;
    bool m_broken = false;
    bool m_done = false;
};

} // namespace vardex::link
