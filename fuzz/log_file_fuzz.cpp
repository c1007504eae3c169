// Arbitrary bytes as a *.log file, loaded through the page's own load function, then
// shown the ways the program shows a log: every record decoded, the graph points of
// every parameter, the export table and its CSV. Properties: a file shorter than one
// record changes nothing; otherwise the store holds its whole records (at most the
// store's size), byte for byte, and saves them back unchanged.
#include "export/csv.h"
#include "fuzz_files.h"
#include "log/graph_points.h"
#include "log/log_file.h"
#include "log/log_table.h"

#include <algorithm>

using namespace vardex;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = fuzz::scratchPath("log");
    static const QString again = fuzz::scratchPath("2.log");
    if (size == 0)
        return 0;
    // The first byte picks the temperature resolutions (codes 0..3, and beyond).
    const std::uint8_t resolutionSeed = data[0];
    ++data;
    --size;
    fuzz::writeScratch(path, data, size);

    log::RecordStore store;
    const log::LogLoadResult loaded = log::loadLogFile(path, store);
    check(loaded.file.ok);
    const std::size_t whole =
        std::min<std::size_t>(size / log::kRecordSize, log::RecordStore::kSlots);
    check(loaded.records == static_cast<int>(whole));
    check(store.count() == loaded.records);
    if (whole == 0) {
        check(!store.isLoaded());
        return 0;
    }
    const QByteArray image = store.fileBytes();
    check(image.size() == static_cast<qsizetype>(whole * log::kRecordSize));
    check(std::equal(data, data + image.size(),
                     reinterpret_cast<const std::uint8_t *>(image.data())));

    for (int slot = 1; slot <= store.count(); ++slot) {
        const log::LogRecord record = store.record(slot);
        const auto bytes = record.encode();
        check(std::equal(bytes.begin(), bytes.end(), store.slotBytes(slot).begin()));
    }

    log::TemperatureResolutions resolutions{};
    for (std::size_t i = 0; i < resolutions.size(); ++i)
        resolutions[i] = static_cast<std::uint8_t>((resolutionSeed >> i) & 0x07);
    const auto recordAt = [&](int slot) { return store.record(slot); };
    log::GraphSelection selection;
    selection.enabled.fill(true);
    for (int first = 0; first < log::kGraphParameters; first += log::kGraphs) {
        for (int g = 0; g < log::kGraphs; ++g)
            selection.parameter[g] = std::min(first + g, log::kGraphParameters - 1);
        selection.first = 1;
        selection.last = store.count();
        if (const auto year = log::newestRecordYear(store.count(), recordAt))
            selection.year = *year;
        const auto points = log::buildGraphPoints(selection, store.count(), recordAt, resolutions);
        check(points.recordsDrawn <= store.count());
    }

    const exporting::Table table = vardex::log::buildLogTable(store, resolutions);
    check(exporting::toCsv(table).size() > 0);

    check(log::saveLogFile(again, store).ok());
    check(fuzz::readScratch(again) == image);
    return 0;
}
