// The log export of a full store (16384 records x 40 columns): building the table
// and writing the .xlsx, then the same table written by openpyxl
// (bench/openpyxl_export.py, given the table as CSV) for comparison; then the
// workbook's time and size at a range of deflate levels.
//   export_bench [python3]      (default: /usr/bin/python3)
#include "export/csv.h"
#include "export/log_table.h"
#include "export/xlsx_workbook.h"
#include "log/record_store.h"
#include "platform/xlsx_writer.h"
#include "sim/scenarios.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

using namespace vardex;

namespace {

// CPU seconds of this process: on a machine shared with other work, wall time says
// more about the neighbours than about the writer.
double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The deflate level is a trade of time against file size: the workbook in memory at
// each level, best of three, so the choice can be checked on the machine at hand.
void levelSweep(const exporting::Table &table)
{
    for (int level : {0, 1, 2, 3, 6, 9}) {
        double best = 1e9;
        qint64 size = 0;
        for (int run = 0; run < 3; ++run) {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            const double start = cpuMs();
            if (!exporting::writeWorkbook(buffer, table, QDateTime::currentDateTime(), level)
                     .isEmpty())
                return;
            best = std::min(best, cpuMs() - start);
            size = buffer.size();
        }
        std::printf("  deflate level %d%s: %4.0f ms CPU, %8lld bytes\n", level,
                    level == exporting::kXlsxDeflateLevel ? " (used)" : "       ", best,
                    static_cast<long long>(size));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString python =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/usr/bin/python3");
    const sim::Firmware firmware = sim::controllerWithFullLog();
    log::RecordStore store;
    for (int n = 1; n <= log::RecordStore::kSlots; ++n) {
        const auto payload = *firmware.eventLog().record(static_cast<std::size_t>(n));
        store.setRecord(n, log::LogRecord::fromPayload(payload));
    }
    store.setLoaded(log::RecordStore::kSlots);
    const std::array<std::uint8_t, 6> resolution{0, 1, 2, 3, 0, 1};

    QTemporaryDir dir;
    const QString xlsx = dir.filePath(QStringLiteral("log.xlsx"));
    QElapsedTimer t;
    const double cpuStart = cpuMs();
    t.start();
    const exporting::Table table = exporting::buildLogTable(store, resolution);
    const double buildMs = t.nsecsElapsed() / 1e6;
    const files::FileResult written = platform::writeXlsx(xlsx, table);
    const double totalMs = t.nsecsElapsed() / 1e6;
    const double totalCpuMs = cpuMs() - cpuStart;
    if (!written.ok) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(written.message()));
        return 1;
    }
    std::printf("vardex: %d rows x %d columns to .xlsx in %.0f ms wall, %.0f ms CPU (table %.0f "
                "ms), %lld bytes (goal <= 1000 ms)\n",
                table.rows(), table.columns(), totalMs, totalCpuMs, buildMs,
                static_cast<long long>(QFile(xlsx).size()));

    const QString csv = dir.filePath(QStringLiteral("log.csv"));
    QFile out(csv);
    if (!out.open(QIODevice::WriteOnly) || out.write(exporting::toCsv(table)) < 0)
        return 1;
    out.close();
    QProcess py;
    py.start(python, {QStringLiteral(VARDEX_BENCH_DIR "/openpyxl_export.py"), csv,
                      dir.filePath(QStringLiteral("openpyxl.xlsx"))});
    if (!py.waitForFinished(600000) || py.exitCode() != 0) {
        std::printf("openpyxl: not run (%s)\n", qPrintable(py.readAllStandardError().trimmed()));
        return 0;
    }
    const QList<QByteArray> figures = py.readAllStandardOutput().trimmed().split(' ');
    if (figures.size() != 2)
        return 1;
    const double pyMs = figures[0].toDouble();
    const double pyCpuMs = figures[1].toDouble();
    std::printf("openpyxl: the same table in %.0f ms wall, %.0f ms CPU; vardex is %.1f x faster "
                "by wall time, %.1f x by CPU time (goal >= 10)\n",
                pyMs, pyCpuMs, pyMs / totalMs, pyCpuMs / totalCpuMs);
    levelSweep(table);
    return 0;
}
