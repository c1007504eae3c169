#include "platform/owner_lock.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

namespace vardex::platform {

namespace {

// How long a borrower waits for the lock once the lender said it let go (it released the
// lock before it answered; this only covers a lock the kernel is still dropping).
constexpr int kRelockMs = 2000;
constexpr int kConnectMs = 2000;
// A borrower that connects and says nothing is dropped after this.
constexpr int kRequestMs = 2000;

QString systemText(int err)
{
    return QString::fromStdString(std::generic_category().message(err));
}

// A directory we may keep locks in: a real directory (not a link), and when others may
// write into it, one where nobody removes another's files (sticky).
bool usableDir(const QByteArray &path)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if ((st.st_mode & S_IWOTH) && !(st.st_mode & S_ISVTX))
        return false;
    return ::access(path.constData(), W_OK | X_OK) == 0;
}

bool makeDir(const QByteArray &path, mode_t mode)
{
    if (::mkdir(path.constData(), mode) == 0)
        return ::chmod(path.constData(), mode) == 0; // past the umask
    return errno == EEXIST;
}

bool readAll(int fd, QByteArray *out, int limit)
{
    out->clear();
    char buf[512];
    for (;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, out->size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out->append(buf, static_cast<int>(n));
        if (out->size() > limit)
            return false;
    }
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

std::optional<link::OwnerRecord> recordIfHeld(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::optional<link::OwnerRecord> out;
    struct stat st = {};
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fcntl(fd, F_OFD_GETLK, &probe) == 0 &&
        probe.l_type != F_UNLCK) {
        QByteArray bytes;
        // Held, but the record may be half written: then the holder is not named.
        if (readAll(fd, &bytes, link::kOwnerRecordMaxBytes))
            out = link::decodeOwnerRecord(bytes);
        if (!out)
            out = link::OwnerRecord{QStringLiteral("неизвестная программа"), 0, {}, false};
    }
    ::close(fd);
    return out;
}

sockaddr_un socketAddress(const QByteArray &path, bool *fits)
{
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    *fits = path.size() < static_cast<qsizetype>(sizeof addr.sun_path);
    if (*fits)
        std::memcpy(addr.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return addr;
}

QString socketPath(const QString &dir, const QString &key)
{
    return dir + QLatin1Char('/') + key + QStringLiteral(".sock");
}

// Connects, asks and waits for the answer. Returns the connection on "lent", else -1.
int askToLend(const QString &dir, const QString &key, const link::OwnerRecord &self, QString *why)
{
    bool fits = false;
    const sockaddr_un addr = socketAddress(QFile::encodeName(socketPath(dir, key)), &fits);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (!fits || fd < 0) {
        *why = QStringLiteral("сторож недоступен");
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    auto fail = [&](const QString &text) {
        ::close(fd);
        *why = text;
        return -1;
    };
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN)
            return fail(QStringLiteral("сторож не отвечает (%1)").arg(systemText(errno)));
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, kConnectMs) <= 0)
            return fail(QStringLiteral("сторож не принял запрос"));
    }
    const QByteArray request = link::encodeBorrowRequest(self);
    if (::send(fd, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL) !=
        request.size())
        return fail(QStringLiteral("сторож не принял запрос"));

    link::BorrowExchange exchange;
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(exchange.patienceMs());
    while (!exchange.finished()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return fail(QStringLiteral("сторож не отдал контроллер вовремя"));
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            exchange.closed();
            break;
        }
        const auto before = exchange.patienceMs();
        const auto stateBefore = exchange.state();
        exchange.feed(QByteArray(buf, static_cast<int>(n)));
        if (exchange.state() == link::BorrowExchange::State::Waiting &&
            (stateBefore != exchange.state() || before != exchange.patienceMs()))
            deadline = Clock::now() + std::chrono::milliseconds(exchange.patienceMs());
    }
    switch (exchange.state()) {
    case link::BorrowExchange::State::Lent:
        return fd;
    case link::BorrowExchange::State::Refused:
        return fail(QStringLiteral("сторож отказал: %1").arg(exchange.refusal()));
    default:
        return fail(QStringLiteral("сторож прервал запрос"));
    }
}

} // namespace

QString ownerLockDir()
{
    const QByteArray forced = qgetenv("VARDEX_LOCK_DIR");
    if (!forced.isEmpty())
        return usableDir(forced) || (makeDir(forced, 0700) && usableDir(forced))
                   ? QFile::decodeName(forced)
                   : QString();
    const QByteArray shared("/run/lock/vardex");
    if (usableDir("/run/lock") && makeDir(shared, 01777) && usableDir(shared))
        return QFile::decodeName(shared);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        const QByteArray own = runtime + "/vardex";
        if (makeDir(own, 0700) && usableDir(own))
            return QFile::decodeName(own);
    }
    return {};
}

QString serviceUnitFromCgroup(const QByteArray &cgroup)
{
    for (const QByteArray &line : cgroup.split('\n')) {
        // "0::/system.slice/vardex-watch@router.service" (cgroup v2), or a v1 hierarchy
        // line "1:name=systemd:/system.slice/…".
        const int colon = line.lastIndexOf(':');
        if (colon < 0)
            continue;
        const QList<QByteArray> parts = line.mid(colon + 1).split('/');
        for (auto it = parts.crbegin(); it != parts.crend(); ++it) {
            if (it->endsWith(".service"))
                return QString::fromUtf8(*it);
        }
    }
    return {};
}

link::OwnerRecord selfOwnerRecord(const QString &program, bool lends)
{
    link::OwnerRecord r;
    r.program = program;
    r.pid = ::getpid();
    r.lends = lends;
    // A process of a user's session sits in a scope; only a service is named.
    QFile cgroup(QStringLiteral("/proc/self/cgroup"));
    if (cgroup.open(QIODevice::ReadOnly))
        r.unit = serviceUnitFromCgroup(cgroup.read(4096));
    return r;
}

QList<HeldController> heldControllers(const QString &dir)
{
    QList<HeldController> out;
    if (dir.isEmpty())
        return out;
    const QStringList names =
        QDir(dir).entryList({QStringLiteral("*.lock")}, QDir::Files | QDir::System, QDir::Name);
    for (const QString &name : names) {
        if (const auto holder = recordIfHeld(QFile::encodeName(dir + QLatin1Char('/') + name)))
            out.append({name.chopped(5), *holder});
    }
    return out;
}

OwnerLocks::OwnerLocks(QString dir, link::OwnerRecord self)
    : m_dir(std::move(dir)), m_self(std::move(self))
{
}

OwnerLocks::~OwnerLocks()
{
    for (const int fd : std::as_const(m_locks))
        ::close(fd);
    for (const int fd : std::as_const(m_loans))
        ::close(fd);
}

QString OwnerLocks::lockPath(const QString &key) const
{
    return m_dir + QLatin1Char('/') + key + QStringLiteral(".lock");
}

int OwnerLocks::tryLock(const QString &key, bool *held, QString *error)
{
    *held = false;
    const QByteArray path = QFile::encodeName(lockPath(key));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = QStringLiteral("файл блокировки %1: %2").arg(lockPath(key), systemText(errno));
        return -1;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = QStringLiteral("%1 — не обычный файл").arg(lockPath(key));
        return -1;
    }
    // Another user's program takes the same lock later.
    if (st.st_uid == ::geteuid())
        ::fchmod(fd, 0666);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int err = errno;
        ::close(fd);
        *held = err == EAGAIN || err == EACCES;
        if (!*held)
            *error = QStringLiteral("блокировка %1: %2").arg(lockPath(key), systemText(err));
        return -1;
    }
    const QByteArray record = link::encodeOwnerRecord(m_self);
    if (::ftruncate(fd, 0) != 0 || !writeAll(fd, record)) {
        // The lock is ours all the same; others just cannot name us.
        ::ftruncate(fd, 0);
    }
    return fd;
}

link::Claim OwnerLocks::claim(const QString &key)
{
    link::Claim out;
    {
        std::lock_guard guard(m_mutex);
        if (m_locks.contains(key)) {
            out.granted = true;
            return out;
        }
    }
    bool held = false;
    QString error;
    int fd = tryLock(key, &held, &error);
    if (fd < 0 && held && !hasLoan(key)) {
        const auto h = holder(key);
        if (m_autoBorrow && h && h->lends) {
            const link::Claim loan = borrow(key);
            if (!loan.granted)
                return loan;
        }
    }
    if (fd < 0 && held && hasLoan(key)) {
        // The lender let go before it answered; a moment covers the kernel's side.
        for (int waited = 0; fd < 0 && held && waited < kRelockMs; waited += 20) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            fd = tryLock(key, &held, &error);
        }
    }
    if (fd < 0) {
        dropLoan(key);
        if (held) {
            out.holder = holder(key);
            out.error = link::heldText(out.holder);
        } else {
            out.error = error;
        }
        return out;
    }
    std::lock_guard guard(m_mutex);
    m_locks.insert(key, fd);
    out.granted = true;
    return out;
}

void OwnerLocks::release(const QString &key)
{
    int lock = -1;
    int loan = -1;
    {
        std::lock_guard guard(m_mutex);
        lock = m_locks.contains(key) ? m_locks.take(key) : -1;
        loan = m_loans.contains(key) ? m_loans.take(key) : -1;
    }
    if (lock >= 0) {
        // The record goes first, so nobody reads ours over a lock that is free.
        ::ftruncate(lock, 0);
        ::close(lock);
    }
    // The lock is free before the lender hears the controller is back.
    if (loan >= 0)
        ::close(loan);
}

std::optional<link::OwnerRecord> OwnerLocks::holder(const QString &key) const
{
    return recordIfHeld(QFile::encodeName(lockPath(key)));
}

link::Claim OwnerLocks::borrow(const QString &key)
{
    link::Claim out;
    if (hasLoan(key)) {
        out.granted = true;
        return out;
    }
    const auto h = holder(key);
    if (!h) {
        out.granted = true; // nobody to ask: the claim will find the controller free
        return out;
    }
    if (!h->lends) {
        out.holder = h;
        out.error = link::heldText(h);
        return out;
    }
    QString why;
    const int fd = askToLend(m_dir, key, m_self, &why);
    if (fd < 0) {
        out.holder = h;
        out.error = QStringLiteral("%1; %2").arg(link::heldText(h), why);
        return out;
    }
    std::lock_guard guard(m_mutex);
    m_loans.insert(key, fd);
    out.granted = true;
    return out;
}

void OwnerLocks::dropLoan(const QString &key)
{
    int fd = -1;
    {
        std::lock_guard guard(m_mutex);
        if (m_locks.contains(key) || !m_loans.contains(key))
            return;
        fd = m_loans.take(key);
    }
    ::close(fd);
}

bool OwnerLocks::hasLoan(const QString &key) const
{
    std::lock_guard guard(m_mutex);
    return m_loans.contains(key);
}

std::shared_ptr<OwnerLocks> makeOwnerLocks(const QString &program, bool lends)
{
    const QString dir = ownerLockDir();
    if (dir.isEmpty())
        return nullptr;
    return std::make_shared<OwnerLocks>(dir, selfOwnerRecord(program, lends));
}

// ---- lending ----------------------------------------------------------------------------------

LendServer::LendServer(QString dir, QString key, QObject *parent)
    : link::Lending(parent), m_path(socketPath(dir, key))
{
    m_requestTimer = new QTimer(this);
    m_requestTimer->setSingleShot(true);
    connect(m_requestTimer, &QTimer::timeout, this, [this] {
        if (!m_asked)
            dropClient();
    });
}

LendServer::~LendServer()
{
    dropClient();
    if (m_listen >= 0) {
        ::close(m_listen);
        ::unlink(QFile::encodeName(m_path).constData());
    }
}

bool LendServer::listen(QString *error)
{
    const QByteArray path = QFile::encodeName(m_path);
    bool fits = false;
    const sockaddr_un addr = socketAddress(path, &fits);
    if (!fits) {
        *error = QStringLiteral("слишком длинный путь %1").arg(m_path);
        return false;
    }
    // One left by a watch that died: we hold the controller's lock, so it is nobody's.
    struct stat st = {};
    if (::lstat(path.constData(), &st) == 0 && S_ISSOCK(st.st_mode))
        ::unlink(path.constData());
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) ||
        ::chmod(path.constData(), 0666) || ::listen(m_listen, 4)) {
        *error = QStringLiteral("%1: %2").arg(m_path, systemText(errno));
        if (m_listen >= 0)
            ::close(m_listen);
        m_listen = -1;
        return false;
    }
    m_listenNotifier = new QSocketNotifier(m_listen, QSocketNotifier::Read, this);
    connect(m_listenNotifier, &QSocketNotifier::activated, this, &LendServer::onAccept);
    return true;
}

void LendServer::onAccept()
{
    const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (m_client >= 0) {
        // One loan at a time; the second borrower hears why at once.
        const QByteArray line = link::lendRefusedLine(
            m_lent ? QStringLiteral("контроллер уже отдан другой программе")
                   : QStringLiteral("другая программа уже просит контроллер"));
        ::send(fd, line.constData(), static_cast<std::size_t>(line.size()), MSG_NOSIGNAL);
        ::close(fd);
        return;
    }
    m_client = fd;
    m_asked = false;
    m_lent = false;
    m_reader = {};
    m_clientNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_clientNotifier, &QSocketNotifier::activated, this, &LendServer::onClientReadable);
    m_requestTimer->start(kRequestMs);
}

void LendServer::onClientReadable()
{
    char buf[512];
    const ssize_t n = ::recv(m_client, buf, sizeof buf, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        const bool wasAsked = m_asked;
        dropClient();
        if (wasAsked)
            emit returned();
        return;
    }
    if (m_asked)
        return; // nothing more is expected; the loan ends with the connection
    if (!m_reader.feed(QByteArray(buf, static_cast<int>(n))))
        return;
    if (m_reader.broken()) {
        dropClient();
        return;
    }
    m_asked = true;
    m_requestTimer->stop();
    emit requested(*m_reader.borrower());
}

void LendServer::wait(int ms)
{
    sendLine(link::lendWaitLine(ms));
}

void LendServer::lend()
{
    if (m_client < 0)
        return;
    m_lent = true;
    sendLine(link::lendLentLine());
}

void LendServer::refuse(const QString &why)
{
    sendLine(link::lendRefusedLine(why));
    dropClient();
}

void LendServer::sendLine(const QByteArray &line)
{
    if (m_client >= 0)
        ::send(m_client, line.constData(), static_cast<std::size_t>(line.size()), MSG_NOSIGNAL);
}

void LendServer::dropClient()
{
    m_requestTimer->stop();
    if (m_clientNotifier) {
        m_clientNotifier->setEnabled(false);
        m_clientNotifier->deleteLater();
        m_clientNotifier = nullptr;
    }
    if (m_client >= 0)
        ::close(m_client);
    m_client = -1;
    m_lent = false;
    m_asked = false;
}

} // namespace vardex::platform
