#pragma once

#include "link/operation.h"
#include "sim/firmware.h"

#include <deque>
#include <functional>
#include <vector>

namespace vardex::test {

// An operation context wired straight to a simulated controller's firmware, on a
// virtual clock: a request is answered at once, a wait without a reply and a pause
// move the clock by their full time. Sequences run in microseconds and every
// request carries the time it went out.
class FirmwareContext final : public link::OperationContext {
public:
    struct Sent {
        long long atMs;
        link::Payload payload;
    };

    sim::Firmware firmware;
    std::vector<Sent> sent;
    long long nowMs = 0;
    bool device = true;
    bool cancel = false;
    int dropReplies = 0;  // the next n requests go unanswered
    int errorReplies = 0; // the next n requests get the error reply
    // Runs after each request (a test stops a loop from here).
    std::function<void(const link::Payload &)> onSend;

    link::DeviceImage &image() override { return m_image; }
    bool hasDevice() const override { return device; }
    void send(const link::Payload &request) override
    {
        if (!device || cancel)
            return;
        sent.push_back({nowMs, request});
        m_replies.clear();
        const auto replies = firmware.handle(request);
        if (dropReplies > 0) {
            --dropReplies;
        } else if (errorReplies > 0) {
            --errorReplies;
            link::Payload error{};
            error[0] = 0xFF;
            m_replies.push_back(error);
        } else {
            m_replies.assign(replies.begin(), replies.end());
        }
        if (onSend)
            onSend(request);
    }
    bool waitReply(int timeoutMs) override { return waitNextReport(timeoutMs); }
    bool waitNextReport(int timeoutMs) override
    {
        if (cancel || !device)
            return false;
        if (m_replies.empty()) {
            nowMs += timeoutMs;
            return false;
        }
        m_last = m_replies.front();
        m_replies.pop_front();
        return true;
    }
    link::Payload lastReply() const override { return m_last; }
    bool lastReplyWasError() const override { return m_last[0] == 0xFF; }
    void pause(int ms) override
    {
        if (!cancel)
            nowMs += ms;
    }
    bool cancelled() const override { return cancel; }
    link::OpStatus cancelReason() const override { return link::OpStatus::Cancelled; }
    void showProgress(bool, int) override {}
    void setProgress(int) override {}
    void setBusyCursor(bool) override {}

    // The data bytes of each request with this code, in order.
    std::vector<std::vector<std::uint8_t>> dataOf(int code) const
    {
        std::vector<std::vector<std::uint8_t>> out;
        for (const Sent &s : sent) {
            if (s.payload[link::pos::Code] == code) {
                const auto *d = s.payload.data() + link::pos::Data;
                out.emplace_back(d, d + s.payload[link::pos::Len]);
            }
        }
        return out;
    }
    std::vector<Sent> sentWith(int code) const
    {
        std::vector<Sent> out;
        for (const Sent &s : sent) {
            if (s.payload[link::pos::Code] == code)
                out.push_back(s);
        }
        return out;
    }

private:
    link::DeviceImage m_image;
    std::deque<link::Payload> m_replies;
    link::Payload m_last{};
};

} // namespace vardex::test
