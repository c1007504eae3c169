#include "platform/systemd_outlets.h"

#include <systemd/sd-daemon.h>
#include <systemd/sd-journal.h>

#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vardex::platform {

namespace {

class Notifier final : public fleet::ServiceNotifier {
public:
    void notify(const QByteArray &state) override { sd_notify(0, state.constData()); }
};

class Journal final : public fleet::Outlet {
public:
    void record(const fleet::Event &event) override
    {
        const std::vector<QByteArray> fields = fleet::journalFields(event);
        std::vector<iovec> iov;
        iov.reserve(fields.size());
        for (const QByteArray &f : fields)
            iov.push_back({const_cast<char *>(f.constData()), std::size_t(f.size())});
        sd_journal_sendv(iov.data(), int(iov.size()));
    }
};

} // namespace

std::unique_ptr<fleet::ServiceNotifier> makeSystemdNotifier()
{
    const char *socket = std::getenv("NOTIFY_SOCKET");
    if (!socket || !*socket)
        return nullptr;
    return std::make_unique<Notifier>();
}

bool stderrIsJournal()
{
    const char *stream = std::getenv("JOURNAL_STREAM");
    if (!stream)
        return false;
    unsigned long long device = 0, inode = 0;
    if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2)
        return false;
    struct stat st = {};
    if (fstat(STDERR_FILENO, &st) != 0)
        return false;
    return st.st_dev == device && st.st_ino == inode;
}

std::unique_ptr<fleet::Outlet> makeJournalOutlet()
{
    return std::make_unique<Journal>();
}

} // namespace vardex::platform
