#include "log/log_transfer.h"

#include "link/bytes.h"
#include "link/protocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace vardex::log {

namespace {

QString noReplyText()
{
    return QCoreApplication::translate("log", "Нет ответа контроллера");
}

// Both halves of record `index` into the image's record buffer. A half that is the
// error reply, or carries the other sub-code, ends the attempt: a record put
// together from another record's bytes would be a wrong record shown as right.
// Guarded (after a lost answer), a second pair that follows at once is taken instead:
// the first was the late answer to the request before.
bool fetchRecord(link::OperationContext &ctx, int index, int timeoutMs, LogRecord *out,
                 bool guarded = false)
{
    auto &buffer = ctx.image().logRecordBuffer;
    const auto half = [&](int sub) {
        return !ctx.lastReplyWasError() &&
               ctx.lastReply()[link::pos::Code] == link::protocol::code::LogRecord &&
               ctx.lastReply()[link::pos::Sub] == sub;
    };
    const auto decode = [&] {
        *out = LogRecord::fromPayload(
            std::span<const std::uint8_t, kPayloadSize>(buffer.data(), kPayloadSize));
    };
    buffer.fill(0);
    ctx.send(link::protocol::readLogRecord(index));
    if (!ctx.waitReply(timeoutMs) || !half(0))
        return false;
    if (!ctx.waitNextReport(timeoutMs) || !half(1))
        return false;
    decode();
    while (guarded && ctx.waitNextReport(timeoutMs) && half(0)) {
        if (!ctx.waitNextReport(timeoutMs) || !half(1))
            break;
        decode();
    }
    return true;
}

// An answer that did not come in time may still come, and nothing in a report says
// which record it carries: taken for the next record, it would shift every record
// after it by one slot. After a lost answer the read lets the line fall quiet first.
constexpr int kLateAnswerMs = 500;

void dropLateAnswers(link::OperationContext &ctx)
{
    QElapsedTimer quiet;
    quiet.start();
    for (qint64 left = kLateAnswerMs; left > 0 && ctx.hasDevice() && !ctx.cancelled();
         left = kLateAnswerMs - quiet.elapsed())
        if (!ctx.waitNextReport(static_cast<int>(left)))
            break;
}

// A stop, a closing window or an unplug: nothing more can come.
bool stopped(link::OperationContext &ctx)
{
    return ctx.cancelled() || !ctx.hasDevice();
}

link::OpStatus stopReason(link::OperationContext &ctx)
{
    return ctx.hasDevice() ? ctx.cancelReason() : link::OpStatus::Disconnected;
}

} // namespace

std::optional<RingPositions> readRingPositions(link::OperationContext &ctx)
{
    ctx.send(link::protocol::memoryRead(kLogPointerAddress, 4));
    if (!ctx.waitReply(kRecordWaitMs) || ctx.lastReplyWasError())
        return std::nullopt;
    const link::Payload words = ctx.lastReply();
    return RingPositions{bytes::u16(words, 6), bytes::u16(words, 8)};
}

FullReadResult readFullLog(link::OperationContext &ctx, RecordStore &store, LogRecord working,
                           const FullReadObserver &observer)
{
    FullReadResult out;
    out.working = working;
    link::BusyCursorScope busy(ctx);

    const std::optional<RingPositions> ring = readRingPositions(ctx);
    if (!ring) {
        out.result = stopped(ctx) ? link::OpResult::fail(stopReason(ctx))
                                  : link::OpResult::fail(link::OpStatus::NoReply, 0, noReplyText());
        return out;
    }
    out.total = logRecordCount(ring->next, ring->oldest);
    if (out.total == 0)
        return out;

    store.clearLoaded();
    if (observer.started)
        observer.started(out.total);
    link::ProgressScope progress(ctx, out.total);
    bool guarded = false;
    for (int n = 1; n <= out.total; ++n) {
        LogRecord record;
        bool got = fetchRecord(ctx, n, kRecordWaitMs, &record, guarded);
        if (!got && !stopped(ctx)) {
            dropLateAnswers(ctx);
            got = fetchRecord(ctx, n, kRecordWaitMs, &record, true);
        }
        guarded = !got;
        if (guarded && !stopped(ctx))
            dropLateAnswers(ctx);
        if (stopped(ctx)) {
            // The record in hand is kept only when it came whole.
            if (got) {
                out.working = record;
                store.setRecord(n, out.working);
                out.read = n;
            }
            break;
        }
        if (got)
            out.working = record;
        else
            out.missing.push_back(n);
        store.setRecord(n, out.working);
        out.read = n;
        // The bar moves in steps of a per cent at most: a repaint per record would cost
        // more than the record itself.
        if ((static_cast<long long>(n) * 100 / out.total) !=
                (static_cast<long long>(n - 1) * 100 / out.total) ||
            n == out.total)
            ctx.setProgress(n);
        if (observer.recordStored)
            observer.recordStored(n, out.working);
        // One record is one step. Not while late answers may still come: the next
        // request must follow the quiet line at once.
        if (!guarded && n < out.total)
            ctx.yieldLink();
    }
    store.setLoaded(out.read);
    store.setMissingSlots(out.missing);
    if (out.read < out.total)
        out.result = link::OpResult::fail(stopReason(ctx), out.read + 1);
    return out;
}

std::optional<LogRecord> readSingleRecord(link::OperationContext &ctx, int index, int timeoutMs)
{
    link::BusyCursorScope busy(ctx);
    LogRecord record;
    if (!fetchRecord(ctx, index, timeoutMs, &record))
        return std::nullopt;
    return record;
}

} // namespace vardex::log
