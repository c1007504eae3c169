#include "display/display_transfer.h"

#include "display/module_model.h"
#include "display/script_buffer.h"
#include "display/text_codec.h"
#include "link/protocol.h"

#include <algorithm>
#include <vector>

namespace vardex::display {

using link::OpResult;
using link::OpStatus;

namespace {

constexpr int kLineWait = 200;
constexpr int kScrollWait = 100;
constexpr int kGroupPause = 201; // "more than 200 ms"
constexpr int kSlowWait = 2000;
constexpr int kPictureWait = 3000;
constexpr int kMemoryWait = 3000;
constexpr int kScriptBlock = 51;
constexpr int kScriptBlocks = 5;

OpResult stopped(const link::OperationContext &ctx)
{
    return OpResult::fail(ctx.cancelReason());
}

OpResult tooLong()
{
    return OpResult::fail(OpStatus::Failed, 0, kTooLongText);
}

Bytes slice(const std::vector<std::uint8_t> &bytes, std::size_t from, std::size_t count)
{
    return Bytes(bytes).subspan(from, std::min(count, bytes.size() - from));
}

// Sends, then waits for the serial line's acknowledgement. A missing reply only ends
// the wait; the sequence goes on.
bool sendAndWait(DisplayLink &link, Bytes command, int waitMs)
{
    if (!link.send(command))
        return false;
    link.ctx.waitReply(waitMs);
    return !link.ctx.cancelled();
}

bool cursorAndErase(DisplayLink &link, int line)
{
    return sendAndWait(link, cursorTo(line, 1), kLineWait) &&
           sendAndWait(link, eraseToLineEnd(), kLineWait);
}

} // namespace

bool DisplayLink::send(Bytes command)
{
    if (ctx.cancelled() || command.empty() || command.size() > kMaxCommand)
        return false;
    const auto request = link::protocol::serialSend(command);
    if (!request)
        return false;
    script.append(command);
    if (preview && ctx.hasDevice())
        preview->feed(command);
    ctx.send(*request.payload);
    if (afterSend)
        afterSend();
    return true;
}

OpResult sendOne(DisplayLink &link, const Command &command)
{
    return link.send(command) ? OpResult::done() : stopped(link.ctx);
}

OpResult staticLine(DisplayLink &link, int line, const QString &text)
{
    const auto codes = toModuleCodes(text);
    if (codes.size() > static_cast<std::size_t>(kMaxCommand))
        return tooLong();
    if (!cursorAndErase(link, line))
        return stopped(link.ctx);
    // An empty text leaves the line erased: there is no empty command to send.
    if (!codes.empty() && !link.send(codes))
        return stopped(link.ctx);
    return OpResult::done();
}

OpResult clearLine(DisplayLink &link, int line)
{
    return cursorAndErase(link, line) ? OpResult::done() : stopped(link.ctx);
}

OpResult scrollLine(DisplayLink &link, int line, const QString &text, int speedIndex)
{
    const auto codes = toModuleCodes(text);
    const std::size_t total = codes.size();
    if (total > kMaxSingleScroll)
        return tooLong();
    const Command header = display::singleScroll(kLineButtonsMode, line, speedIndex,
                                                 static_cast<std::uint8_t>(total), codes);
    if (total <= kScrollChunk)
        return sendOne(link, header);
    if (!sendAndWait(link, header, kScrollWait))
        return stopped(link.ctx);
    const std::size_t rest = total - kScrollChunk;
    if (rest <= kScrollChunk) {
        if (!sendAndWait(link, slice(codes, kScrollChunk, rest), kScrollWait))
            return stopped(link.ctx);
    } else {
        if (!sendAndWait(link, slice(codes, kScrollChunk, kScrollChunk), kScrollWait) ||
            !sendAndWait(link, slice(codes, 2 * kScrollChunk, total), kScrollWait))
            return stopped(link.ctx);
    }
    return OpResult::done();
}

OpResult clearSingleScroll(DisplayLink &link, int line)
{
    return sendOne(link, display::singleScroll(kLineButtonsMode, line, 1, 0, {}));
}

OpResult groupScrollLine(DisplayLink &link, int line, const QString &text, int speedIndex)
{
    const auto codes = toModuleCodes(text);
    const std::size_t total = codes.size();
    if (total == 0)
        return OpResult::done();
    if (total > kMaxGroupScroll)
        return tooLong();
    const Command header = display::groupScrollText(kLineButtonsMode, line, speedIndex + 1,
                                                    static_cast<std::uint8_t>(total & 0xFF), codes);
    if (!sendAndWait(link, header, kScrollWait))
        return stopped(link.ctx);
    for (std::size_t from = kScrollChunk; from < total; from += kScrollChunk) {
        link.ctx.pause(kGroupPause);
        if (!sendAndWait(link, slice(codes, from, kScrollChunk), kScrollWait))
            return stopped(link.ctx);
    }
    return OpResult::done();
}

OpResult fourLineTest(DisplayLink &link, int speedIndex)
{
    const std::vector<std::uint8_t> text(10, 'P');
    for (int line = 1; line <= 4; ++line) {
        if (!sendAndWait(link,
                         display::groupScrollText(kFourLineMode, line, speedIndex + 1, 10, text),
                         1000))
            return stopped(link.ctx);
    }
    return OpResult::done();
}

OpResult fill(DisplayLink &link)
{
    const std::vector<std::uint8_t> block(32, 0x7F);
    for (int row = 1; row <= 4; ++row) {
        if (!sendAndWait(link, cursorTo(row, 1), kSlowWait) || !sendAndWait(link, block, kSlowWait))
            return stopped(link.ctx);
    }
    return OpResult::done();
}

OpResult characterRows(DisplayLink &link)
{
    for (int row = 1; row <= 3; ++row) {
        std::vector<std::uint8_t> codes(32);
        for (int i = 0; i < 32; ++i)
            codes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(32 * row + i);
        if (!sendAndWait(link, cursorTo(row, 1), kSlowWait) || !sendAndWait(link, codes, kSlowWait))
            return stopped(link.ctx);
    }
    std::vector<std::uint8_t> stars;
    for (int i = 0; i < 16; ++i)
        stars.insert(stars.end(), {0x81, 0x9A});
    if (!sendAndWait(link, cursorTo(4, 1), kSlowWait) || !sendAndWait(link, stars, kSlowWait))
        return stopped(link.ctx);
    return OpResult::done();
}

OpResult test1(DisplayLink &link)
{
    const bool running = true;
    return test1(link, running);
}

OpResult test1(DisplayLink &link, const bool &running)
{
    // Each column is a step of its own: between two the link serves the others, and a
    // stop ends the test there.
    for (std::uint8_t pattern : {std::uint8_t{0xFF}, std::uint8_t{0x00}}) {
        const std::vector<std::uint8_t> column(32, pattern);
        for (int y : {0, 32}) {
            for (int x = 0; x <= 248; x += 8) {
                if (!running)
                    return OpResult::fail(OpStatus::Cancelled);
                if (!link.send(bitmap(x, y, 32, 8, column)))
                    return stopped(link.ctx);
                link.ctx.pauseYielding(51);
            }
        }
        link.ctx.pauseYielding(501);
        if (link.ctx.cancelled())
            return stopped(link.ctx);
    }
    return OpResult::done();
}

OpResult userCharacterLine(DisplayLink &link)
{
    if (!cursorAndErase(link, 1))
        return stopped(link.ctx);
    const std::uint8_t twice[] = {kUserCharLead, kUserCharTrail, kUserCharLead, kUserCharTrail};
    return sendOne(link, plain(twice));
}

OpResult pictureToScreen(DisplayLink &link, const std::array<std::uint8_t, 32> &picture, int x,
                         int y)
{
    return sendAndWait(link, bitmap(x, y, 16, 16, picture), kPictureWait) ? OpResult::done()
                                                                          : stopped(link.ctx);
}

void BounceState::step()
{
    if (xUp) {
        if (++x > 239) {
            x = 238;
            xUp = false;
        }
    } else if (--x <= 0) {
        x = 0;
        xUp = true;
    }
    if (yUp) {
        if (++y > 47) {
            y = 47;
            yUp = false;
        }
    } else if (--y <= 0) {
        y = 0;
        yUp = true;
    }
}

OpResult test2(DisplayLink &link, const std::array<std::uint8_t, 32> &picture, const bool &running)
{
    BounceState at;
    while (running) {
        if (!sendAndWait(link, bitmap(at.x, at.y, 16, 16, picture), 50))
            return stopped(link.ctx);
        // The pause between the picture and the clear is where the others get the link.
        link.ctx.pauseYielding(kGroupPause);
        at.step();
        if (!sendAndWait(link, clearScreen(), 50))
            return stopped(link.ctx);
    }
    return OpResult::done();
}

OpResult writeScript(link::OperationContext &ctx, const ScriptBuffer &script, int contact)
{
    const int c = std::clamp(contact, 0, 7);
    int firstMissing = 0;
    for (int i = 0; i < kScriptBlocks; ++i) {
        // One block is one step: the link serves the others between two blocks.
        if (i > 0)
            ctx.yieldLink();
        // Cut short: from this block on (or the first unanswered one) nothing is known
        // to be in the controller.
        if (ctx.cancelled())
            return OpResult::fail(ctx.cancelReason(), firstMissing ? firstMissing : i + 1);
        const auto block = std::span(script.bytes())
                               .subspan(static_cast<std::size_t>(kScriptBlock * i), kScriptBlock);
        const auto request = link::protocol::memoryWrite(256 * c + kScriptBlock * i, block);
        ctx.send(*request.payload);
        // The error reply is an answer, but the block was refused, not stored.
        const bool answered = ctx.waitReply(kMemoryWait) && !ctx.lastReplyWasError();
        if (ctx.cancelled())
            return OpResult::fail(ctx.cancelReason(), firstMissing ? firstMissing : i + 1);
        if (!answered && !firstMissing)
            firstMissing = i + 1;
    }
    return firstMissing ? OpResult::fail(OpStatus::NoReply, firstMissing) : OpResult::done();
}

QString scriptWriteText(const link::OpResult &r, int contact)
{
    const QString where = QStringLiteral("«Кон. %1»").arg(std::clamp(contact, 0, 7) + 1);
    if (r.ok())
        return QStringLiteral("Автономный тест для %1 записан в контроллер.").arg(where);
    const int block = std::clamp(r.step, 1, kScriptBlocks);
    const int from = kScriptBlock * (block - 1);
    const int last = kScriptBlock * kScriptBlocks - 1;
    if (r.status == OpStatus::NoReply)
        return QStringLiteral("Автономный тест для %1 записан не полностью: контроллер не "
                              "подтвердил блок %2 из %3 (байты %4–%5). Запишите тест ещё раз.")
            .arg(where)
            .arg(block)
            .arg(kScriptBlocks)
            .arg(from)
            .arg(from + kScriptBlock - 1);
    // Cut short: from this block on nothing is known to be stored.
    const QString lacks =
        block == kScriptBlocks
            ? QStringLiteral("блок %1 (байты %2–%3)").arg(block).arg(from).arg(last)
            : QStringLiteral("блоки %1–%2 (байты %3–%4)")
                  .arg(block)
                  .arg(kScriptBlocks)
                  .arg(from)
                  .arg(last);
    const QString why = r.status == OpStatus::Disconnected
                            ? QStringLiteral("прервана: контроллер отключен")
                            : QStringLiteral("остановлена");
    return QStringLiteral("Запись автономного теста для %1 %2. В контроллер не записаны %3, "
                          "там остался прежний тест. Запишите тест ещё раз.")
        .arg(where, why, lacks);
}

} // namespace vardex::display
