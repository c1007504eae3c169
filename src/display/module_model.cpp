#include "display/module_model.h"

#include "display/module_font.h"
#include "display/text_codec.h"

#include <algorithm>
#include <bit>

namespace vardex::display {

namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr int kMaxNumberDigits = 3;
constexpr int kMarkerWidth = 4;

bool isDigit(std::uint8_t b)
{
    return b >= '0' && b <= '9';
}

// First bytes of the two-byte codes the module knows.
bool isLead(std::uint8_t b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF);
}

} // namespace

ModuleModel::ModuleModel()
{
    reset();
}

void ModuleModel::reset()
{
    m_pixels.fill(0);
    m_dimming = 5;
    setMode(kInitialMode);
    m_attribute = 0;
    m_row = 1;
    m_x = 0;
    m_lead = 0;
    m_state = State::Text;
    m_sequence.clear();
    m_payload.clear();
    m_userRows.fill(0);
    m_userDefined = false;
    m_groupRows.clear();
}

std::vector<ModuleModel::Row> ModuleModel::rowsOf(int mode)
{
    switch (mode) {
    case 2: // 16x16, 8x16, three rows
        return {{0, 16, 8, 16}, {24, 16, 8, 16}, {48, 16, 8, 16}};
    case 3: // 24x24, 12x24, two rows
        return {{4, 24, 12, 24}, {36, 24, 12, 24}};
    case 4: // 24x24 then 16x16
        return {{4, 24, 12, 24}, {40, 16, 8, 16}};
    case 5: // 16x16, 8x16, four rows
        return {{0, 16, 8, 16}, {16, 16, 8, 16}, {32, 16, 8, 16}, {48, 16, 8, 16}};
    default: { // 5x7, eight rows (the list's empty items too)
        std::vector<Row> rows;
        for (int i = 0; i < 8; ++i)
            rows.push_back({8 * i, 8, 6, 12});
        return rows;
    }
    }
}

int ModuleModel::brightnessPercent() const
{
    static constexpr int kPercent[] = {0, 32, 45, 79, 100, 100};
    return kPercent[std::clamp(m_dimming, 0, 5)];
}

bool ModuleModel::pixel(int x, int y) const
{
    if (x < 0 || x >= kWidth || y < 0 || y >= kHeight)
        return false;
    return (m_pixels[static_cast<std::size_t>(y * kWidth / 8 + x / 8)] & (0x80 >> (x % 8))) != 0;
}

int ModuleModel::litPixels() const
{
    int n = 0;
    for (std::uint8_t b : m_pixels)
        n += std::popcount(b);
    return n;
}

int ModuleModel::litPixels(int x, int y, int width, int height) const
{
    int n = 0;
    for (int j = y; j < y + height; ++j) {
        for (int i = x; i < x + width; ++i)
            n += pixel(i, j) ? 1 : 0;
    }
    return n;
}

void ModuleModel::setPixel(int x, int y, bool lit)
{
    if (x < 0 || x >= kWidth || y < 0 || y >= kHeight)
        return;
    auto &b = m_pixels[static_cast<std::size_t>(y * kWidth / 8 + x / 8)];
    const auto mask = static_cast<std::uint8_t>(0x80 >> (x % 8));
    b = lit ? static_cast<std::uint8_t>(b | mask) : static_cast<std::uint8_t>(b & ~mask);
}

void ModuleModel::fill(int x, int y, int width, int height, bool lit)
{
    for (int j = y; j < y + height; ++j) {
        for (int i = x; i < x + width; ++i)
            setPixel(i, j, lit);
    }
}

const ModuleModel::Row *ModuleModel::cursorRow() const
{
    if (m_row < 1 || m_row > static_cast<int>(m_rows.size()))
        return nullptr;
    return &m_rows[static_cast<std::size_t>(m_row - 1)];
}

void ModuleModel::setMode(int mode)
{
    m_mode = std::clamp(mode, 1, 8);
    m_rows = rowsOf(m_mode);
}

int ModuleModel::drawCode(int x, const Row &row, std::uint8_t lead, std::uint8_t code, bool reverse,
                          bool blink)
{
    const int width = lead ? row.fullWidth : row.halfWidth;
    if (x >= kWidth)
        return width;
    fill(x, row.y, width, row.height, reverse);
    if (blink) // shown standing: an underline marks the blinking cells
        fill(x, row.y + row.height - 1, width, 1, !reverse);

    if (lead && lead == m_userLead && code == m_userTrail && m_userDefined) {
        // 16 x 16, scaled down where the cell is smaller.
        const int w = std::min(16, width), h = std::min(16, row.height);
        const int ox = x + (width - w) / 2, oy = row.y + (row.height - h) / 2;
        for (int r = 0; r < h; ++r) {
            for (int c = 0; c < w; ++c) {
                const int sr = r * 16 / h, sc = c * 16 / w;
                const bool on =
                    m_userRows[static_cast<std::size_t>(2 * sr + sc / 8)] & (0x80 >> (sc % 8));
                if (on)
                    setPixel(ox + c, oy + r, !reverse);
            }
        }
        return width;
    }

    char32_t letter = kUnknownMark;
    if (!lead && code >= 0x20 && code <= 0x7F) {
        letter = code;
    } else if (lead == kDoubleByteLead) {
        letter = letterOfDisplayCode(code);
        if (!letter) // 84 00: a character of the code page the module has no letter for
            return width;
    } else if (lead == 0x81 && code == 0x9A) {
        letter = kStarMark;
    }
    const Glyph &g = glyphFor(letter);
    const int sx = std::max(1, width / (kGlyphWidth + 1));
    const int sy = std::max(1, row.height / (kGlyphHeight + 1));
    const int ox = x + (width - kGlyphWidth * sx) / 2;
    const int oy = row.y + (row.height - kGlyphHeight * sy) / 2;
    for (int r = 0; r < kGlyphHeight; ++r) {
        for (int c = 0; c < kGlyphWidth; ++c) {
            if (g[static_cast<std::size_t>(r)] & (0x10 >> c))
                fill(ox + c * sx, oy + r * sy, sx, sy, !reverse);
        }
    }
    return width;
}

void ModuleModel::drawStandingText(int mode, int line, std::span<const std::uint8_t> text)
{
    const auto rows = rowsOf(mode);
    if (line < 1 || line > static_cast<int>(rows.size()))
        return;
    const Row &row = rows[static_cast<std::size_t>(line - 1)];
    fill(0, row.y, kWidth, row.height, false);
    if (text.empty())
        return;
    int x = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isLead(text[i]) && i + 1 < text.size()) {
            x += drawCode(x, row, text[i], text[i + 1], false, false);
            ++i;
        } else {
            x += drawCode(x, row, 0, text[i], false, false);
        }
    }
    // The marker: a dark gap and a triangle pointing the way the text runs.
    fill(kWidth - kMarkerWidth - 1, row.y, kMarkerWidth + 1, row.height, false);
    const int mid = row.y + row.height / 2;
    for (int i = 0; i < kMarkerWidth; ++i)
        fill(kWidth - kMarkerWidth + i, mid - i, 1, 2 * i + 1, true);
}

void ModuleModel::feed(std::span<const std::uint8_t> bytes)
{
    ++m_revision;
    for (std::uint8_t b : bytes) {
        switch (m_state) {
        case State::Text:
            takeText(b);
            break;
        case State::Escape:
            takeEscape(b);
            break;
        case State::Payload:
            takePayload(b);
            break;
        }
    }
}

void ModuleModel::takeText(std::uint8_t b)
{
    if (b == kEsc) {
        m_lead = 0;
        m_sequence.assign(1, b);
        m_state = State::Escape;
        return;
    }
    std::uint8_t lead = 0;
    if (m_lead) {
        lead = m_lead;
        m_lead = 0;
    } else if (isLead(b)) {
        m_lead = b;
        return;
    } else if (b < 0x20) {
        return; // control codes outside the command set
    }
    if (const Row *row = cursorRow())
        m_x += drawCode(m_x, *row, lead, b, m_attribute == 7, m_attribute == 5);
}

void ModuleModel::takeEscape(std::uint8_t b)
{
    m_sequence.push_back(b);
    const Parse p = parseEscape();
    if (p == Parse::Incomplete)
        return;
    m_sequence.clear();
    if (m_state == State::Escape)
        m_state = State::Text;
    if (p == Parse::Invalid && b == kEsc) // garbage followed by a new command
        takeText(b);
}

void ModuleModel::takePayload(std::uint8_t b)
{
    m_payload.push_back(b);
    if (static_cast<int>(m_payload.size()) >= m_payloadNeeded) {
        m_state = State::Text;
        finishPayload();
    }
}

void ModuleModel::startPayload(Payload kind, int needed)
{
    m_payloadKind = kind;
    m_payloadNeeded = needed;
    m_payload.clear();
    if (needed <= 0) {
        m_state = State::Text;
        finishPayload();
    } else {
        m_state = State::Payload;
    }
}

void ModuleModel::finishPayload()
{
    switch (m_payloadKind) {
    case Payload::SingleScroll:
        drawStandingText(m_args[0], m_args[1], m_payload);
        break;
    case Payload::GroupScroll:
        drawStandingText(m_args[0], m_args[1], m_payload);
        m_groupRows.emplace_back(m_args[0], m_args[1]);
        break;
    case Payload::Bitmap: {
        const int x = m_args[0], y = m_args[1], h = m_args[2], w = m_args[3];
        const int perRow = (w + 7) / 8;
        for (int r = 0; r < h; ++r) {
            for (int c = 0; c < w; ++c) {
                const auto byte = m_payload[static_cast<std::size_t>(r * perRow + c / 8)];
                setPixel(x + c, y + r, (byte & (0x80 >> (c % 8))) != 0);
            }
        }
        break;
    }
    case Payload::UserChar:
        std::copy_n(m_payload.begin(), m_userRows.size(), m_userRows.begin());
        m_userLead = static_cast<std::uint8_t>(m_args[0]);
        m_userTrail = static_cast<std::uint8_t>(m_args[1]);
        m_userDefined = true;
        break;
    }
    m_payload.clear();
}

ModuleModel::Parse ModuleModel::parseEscape()
{
    const auto &s = m_sequence;
    const std::size_t n = s.size();
    if (n < 2)
        return Parse::Incomplete;

    if (s[1] == '[') { // ESC [ numbers final
        const std::uint8_t last = s[n - 1];
        if (isDigit(last) || last == ';')
            return n < 8 ? Parse::Incomplete : Parse::Invalid;
        if (n == 2)
            return Parse::Incomplete;
        std::array<int, 2> p{0, 0};
        std::size_t k = 0;
        for (std::size_t i = 2; i + 1 < n; ++i) {
            if (s[i] == ';')
                ++k;
            else if (k < p.size())
                p[k] = p[k] * 10 + (s[i] - '0');
        }
        switch (last) {
        case 'H': {
            m_row = std::max(1, p[0]);
            const Row *row = cursorRow();
            m_x = row ? (std::max(1, p[1]) - 1) * row->halfWidth : 0;
            return Parse::Done;
        }
        case 'J':
            if (p[0] == 2) {
                m_pixels.fill(0);
                m_row = 1;
                m_x = 0;
                m_groupRows.clear();
            }
            return Parse::Done;
        case 'K':
            if (const Row *row = cursorRow(); row && p[0] == 0)
                fill(m_x, row->y, kWidth - m_x, row->height, false);
            return Parse::Done;
        case 'm':
            m_attribute = p[0];
            return Parse::Done;
        default:
            return Parse::Invalid;
        }
    }

    // ESC \ ? ...
    static constexpr std::uint8_t kPrefix[] = {kEsc, '\\', '?'};
    for (std::size_t i = 1; i < std::min<std::size_t>(n, 3); ++i) {
        if (s[i] != kPrefix[i])
            return Parse::Invalid;
    }
    if (n < 4)
        return Parse::Incomplete;
    if (s[3] == 'R') {
        reset();
        return Parse::Done;
    }
    if (s[3] != 'L')
        return Parse::Invalid;
    if (n < 6)
        return Parse::Incomplete;

    switch (s[4]) {
    case 'D':
        if (!isDigit(s[5]))
            return Parse::Invalid;
        m_dimming = std::min(5, s[5] - '0');
        return Parse::Done;
    case 'S':
        if (!isDigit(s[5]))
            return Parse::Invalid;
        setMode(s[5] - '0');
        return Parse::Done;
    case 'M':
        if (n == 6 && (s[5] == 'S' || s[5] == 'G' || s[5] == 'E')) {
            if (s[5] == 'E') { // group scroll off: the scrolling rows go dark
                for (const auto &[mode, line] : m_groupRows)
                    drawStandingText(mode, line, {});
                m_groupRows.clear();
            }
            return Parse::Done;
        }
        [[fallthrough]];
    case 'H': {
        // mode ; line ; speed ; T ; then T text bytes
        for (std::size_t i = 5; i < n; ++i) {
            const bool ok = (i == 5 || i == 7 || i == 9)               ? isDigit(s[i])
                            : (i == 6 || i == 8 || i == 10 || i == 12) ? s[i] == ';'
                                                                       : true;
            if (!ok)
                return Parse::Invalid;
        }
        if (n < 13)
            return Parse::Incomplete;
        m_args = {s[5] - '0', s[7] - '0', s[9] - '0', s[11]};
        startPayload(s[4] == 'H' ? Payload::SingleScroll : Payload::GroupScroll, s[11]);
        return Parse::Done;
    }
    case 'G': { // X ; Y ; H ; W ; then the rows
        std::array<int, 4> v{};
        std::size_t k = 0;
        int digits = 0;
        for (std::size_t i = 5; i < n; ++i) {
            if (isDigit(s[i])) {
                if (++digits > kMaxNumberDigits)
                    return Parse::Invalid;
                v[k] = v[k] * 10 + (s[i] - '0');
            } else if (s[i] == ';' && digits > 0) {
                digits = 0;
                if (++k == v.size()) {
                    m_args = v;
                    startPayload(Payload::Bitmap, v[2] * ((v[3] + 7) / 8));
                    return Parse::Done;
                }
            } else {
                return Parse::Invalid;
            }
        }
        return Parse::Incomplete;
    }
    case 'W': { // 3 ; 1 ; lead trail ; then 32 bytes
        for (std::size_t i = 5; i < n; ++i) {
            const bool ok = (i == 5 || i == 7)              ? isDigit(s[i])
                            : (i == 6 || i == 8 || i == 11) ? s[i] == ';'
                                                            : true;
            if (!ok)
                return Parse::Invalid;
        }
        if (n < 12)
            return Parse::Incomplete;
        m_args = {s[9], s[10], 0, 0};
        startPayload(Payload::UserChar, static_cast<int>(m_userRows.size()));
        return Parse::Done;
    }
    default:
        return Parse::Invalid;
    }
}

} // namespace vardex::display
