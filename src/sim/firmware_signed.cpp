// The simulated firmware: signed commands and keys (code 15).
#include "link/bytes.h"
#include "sim/firmware.h"
#include "sim/firmware_wire.h"

#include <QCryptographicHash>

#include <algorithm>

namespace vardex::sim {

using namespace vardex::bytes;
using namespace wire;

namespace {

std::array<std::uint8_t, 20> sha1(std::span<const std::uint8_t> message)
{
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char *>(message.data()),
                                                static_cast<qsizetype>(message.size())),
                                 QCryptographicHash::Sha1);
    std::array<std::uint8_t, 20> out{};
    std::copy_n(reinterpret_cast<const std::uint8_t *>(digest.constData()), out.size(),
                out.begin());
    return out;
}

} // namespace

std::vector<Payload> Firmware::signedCommand(const Payload &rq)
{
    switch (rq[pos::Sub]) {
    case 0: { // digest at 6..25
        std::array<std::uint8_t, 20> digest{};
        std::copy_n(dataOf(rq).begin(), digest.size(), digest.begin());
        Payload p = replyTo(rq, 20);
        if (hashAccepted(digest)) {
            ++m_signedAccepted;
            const auto confirm = sha1(digest);
            std::copy(confirm.begin(), confirm.end(), dataOf(p).begin());
        } else {
            ++m_signedRejected;
        }
        return {p};
    }
    case 1: { // new 16-byte key at 6..21
        for (auto &b : m_generatedKey)
            b = static_cast<std::uint8_t>(m_random() & 0xFF);
        m_keyValid = true;
        Payload p = replyTo(rq, 16);
        std::copy(m_generatedKey.begin(), m_generatedKey.end(), dataOf(p).begin());
        return {p};
    }
    case 2: // reset: the key is spent
        m_generatedKey.fill(0);
        m_keyValid = false;
        return {replyTo(rq)};
    case 3: { // open key at 6..9
        Payload p = replyTo(rq, 4);
        std::copy(m_openKey.begin(), m_openKey.end(), dataOf(p).begin());
        return {p};
    }
    default:
        return {errorReply()};
    }
}

bool Firmware::hashAccepted(const std::array<std::uint8_t, 20> &digest) const
{
    if (!m_keyValid)
        return false;
    std::array<std::uint8_t, 20> message{};
    std::copy(m_generatedKey.begin(), m_generatedKey.end(), message.begin() + 4);
    std::copy(m_openKey.begin(), m_openKey.end(), message.begin());
    if (sha1(message) == digest)
        return true;
    const QTime now = m_clock.time();
    const QTime rounded(now.hour(), now.minute(), now.second() / 10 * 10);
    for (int offset : {-10, 0, 10}) {
        const QTime t = rounded.addSecs(offset);
        message[0] = 0;
        message[1] = static_cast<std::uint8_t>(t.hour());
        message[2] = static_cast<std::uint8_t>(t.minute());
        message[3] = static_cast<std::uint8_t>(t.second());
        if (sha1(message) == digest)
            return true;
    }
    return false;
}

} // namespace vardex::sim
