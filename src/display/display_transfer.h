#pragma once

#include "display/commands.h"
#include "link/operation.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

// The display page's sequences. Each one is an operation of the data module; the long
// ones (test 1, test 2, the script write) are chains of short steps that give the link
// back between two steps (OperationContext::yieldLink / pauseYielding), keeping their
// own bytes and timing. Each returns at once (Cancelled) when the engineer stops it or
// the window closes.
namespace vardex::display {

class ModuleModel;
class ScriptBuffer;

inline const QString kTooLongText = QStringLiteral("Длина строки превышает максимальный размер");

// Where a display command goes: recorded in the script buffer, shown in the
// preview, sent through the controller's serial line.
struct DisplayLink {
    link::OperationContext &ctx;
    ScriptBuffer &script;
    ModuleModel *preview = nullptr;
    std::function<void()> afterSend = {}; // the page refreshes its caption and preview

    // False (nothing done) once the sequence is cancelled or when the command
    // exceeds one request.
    bool send(Bytes command);
};

// Longest converted texts each action takes.
inline constexpr int kMaxSingleScroll = 128;
inline constexpr int kMaxGroupScroll = 512;

// Line modes of the scroll commands: the two-line layout for the line buttons, the
// four-line one for the four-line test.
inline constexpr int kLineButtonsMode = 3;
inline constexpr int kFourLineMode = 5;

link::OpResult sendOne(DisplayLink &link, const Command &command);
// Cursor to the line, erase it, then the text as one command (at most 58 bytes).
link::OpResult staticLine(DisplayLink &link, int line, const QString &text);
link::OpResult clearLine(DisplayLink &link, int line);
// The header with up to 42 bytes, then at most two plain commands.
link::OpResult scrollLine(DisplayLink &link, int line, const QString &text, int speedIndex);
link::OpResult clearSingleScroll(DisplayLink &link, int line);
// The header with up to 42 bytes, then 42-byte plain commands each after a pause.
link::OpResult groupScrollLine(DisplayLink &link, int line, const QString &text, int speedIndex);
link::OpResult fourLineTest(DisplayLink &link, int speedIndex);
link::OpResult fill(DisplayLink &link);
link::OpResult characterRows(DisplayLink &link);
link::OpResult test1(DisplayLink &link);
// Test 1 with a stop: a cleared flag ends it before the next column (Cancelled).
link::OpResult test1(DisplayLink &link, const bool &running);
// The user character twice on line 1.
link::OpResult userCharacterLine(DisplayLink &link);
link::OpResult pictureToScreen(DisplayLink &link, const std::array<std::uint8_t, 32> &picture,
                               int x, int y);

// Position and directions of test 2's bouncing picture over X 0..239, Y 0..47.
struct BounceState {
    int x = 0;
    int y = 0;
    bool xUp = true;
    bool yUp = true;
    void step();
};

// Runs while running stays set; a cleared flag ends the loop after its pass.
link::OpResult test2(DisplayLink &link, const std::array<std::uint8_t, 32> &picture,
                     const bool &running);

// Stores buffer bytes 0..254 for contact index 0..7 as five 51-byte memory writes, one
// step each. A missing acknowledgement does not stop the write; the result says which
// block went unanswered first. A write cut short (stop, unplug) returns its reason with
// the first block the controller is not known to hold as step.
link::OpResult writeScript(link::OperationContext &ctx, const ScriptBuffer &script, int contact);
// What the engineer is told of a script write: done, or which block the controller lacks.
QString scriptWriteText(const link::OpResult &r, int contact);

} // namespace vardex::display
