#pragma once

#include "link/lending.h"
#include "link/owner.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <mutex>
#include <utility>

class QSocketNotifier;
class QTimer;

// The owner lock of a controller and its lending socket, as files in a directory shared by
// every user of the machine. The lock is an open-file-description lock (fcntl
// F_OFD_SETLK) on <dir>/<key>.lock: the kernel drops it when the holder closes the file or
// dies, and others can ask who holds it (F_OFD_GETLK) without taking it. The holder writes
// its record (link::OwnerRecord) into the locked file.
namespace vardex::platform {

// $VARDEX_LOCK_DIR when set (tests), else /run/lock/vardex (made sticky and writable by
// all, like /run/lock itself), else $XDG_RUNTIME_DIR/vardex. Empty when none can be used.
QString ownerLockDir();

// This process as a holder: program words, pid, and its systemd service unit if any.
link::OwnerRecord selfOwnerRecord(const QString &program, bool lends);
// The service unit a process runs in, from its /proc/<pid>/cgroup text ("" if none).
QString serviceUnitFromCgroup(const QByteArray &cgroup);

struct HeldController {
    QString key;
    link::OwnerRecord holder;
};
// Every controller held now, with its holder (for the connection doctor).
QList<HeldController> heldControllers(const QString &dir);

class OwnerLocks final : public link::OwnerGate {
public:
    OwnerLocks(QString dir, link::OwnerRecord self);
    ~OwnerLocks() override;

    // A claim that finds a lending holder borrows from it first (the command line's
    // one-off commands). Off: the claim is refused and the holder named (the window,
    // which asks the engineer; the watch).
    void setBorrowAutomatically(bool on) { m_autoBorrow = on; }

    link::Claim claim(const QString &key) override;
    void release(const QString &key) override;
    std::optional<link::OwnerRecord> holder(const QString &key) const override;

    // Asks the holder of key to lend the controller and keeps the loan for the next claim
    // of key. Blocks up to the holder's announced wait plus a margin: run it off the GUI
    // thread. Granted once the holder has let go.
    link::Claim borrow(const QString &key) override;
    // Gives back a loan that no claim took (the open failed after borrowing).
    void dropLoan(const QString &key);
    bool hasLoan(const QString &key) const;

    const QString &dir() const { return m_dir; }

private:
    QString lockPath(const QString &key) const;
    int tryLock(const QString &key, bool *held, QString *error);

    QString m_dir;
    link::OwnerRecord m_self;
    bool m_autoBorrow = false;
    mutable std::mutex m_mutex;
    QHash<QString, int> m_locks; // key -> locked file
    QHash<QString, int> m_loans; // key -> connection to the lender
};

// This process's owner locks in ownerLockDir(); null when there is no directory for them.
std::shared_ptr<OwnerLocks> makeOwnerLocks(const QString &program, bool lends);

// The lending side (the watch): a Unix socket <dir>/<key>.sock that takes one borrower at
// a time. The owner answers a request with wait()/lend()/refuse(); the loan ends when the
// borrower closes its end (returned()).
class LendServer final : public link::Lending {
    Q_OBJECT
public:
    LendServer(QString dir, QString key, QObject *parent = nullptr);
    ~LendServer() override;

    // Listens; false with the system's words if the socket cannot be made.
    bool listen(QString *error);
    void wait(int ms) override;
    void lend() override;
    void refuse(const QString &why) override;
    bool lent() const { return m_lent; }
    const QString &path() const { return m_path; }

private:
    void onAccept();
    void onClientReadable();
    void dropClient();
    void sendLine(const QByteArray &line);

    QString m_path;
    int m_listen = -1;
    int m_client = -1;
    bool m_lent = false;
    bool m_asked = false;
    link::LendRequestReader m_reader;
    QSocketNotifier *m_listenNotifier = nullptr;
    QSocketNotifier *m_clientNotifier = nullptr;
    QTimer *m_requestTimer = nullptr;
};

} // namespace vardex::platform
