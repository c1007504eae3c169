#pragma once

#include "link/operation.h"

#include <vector>

namespace vardex::test {

// An operation context without a link: it records what a sequence sends and how long
// it would wait, and answers waits as told. For sequences whose decisions (send or
// not, wait or not) matter more than the bytes a controller would see.
class RecordingContext : public link::OperationContext {
public:
    link::DeviceImage &image() override { return m_image; }
    bool hasDevice() const override { return device; }
    void send(const link::Payload &request) override { sent.push_back(request); }
    bool waitReply(int timeoutMs) override
    {
        waits.push_back(timeoutMs);
        return replies;
    }
    bool waitNextReport(int timeoutMs) override { return waitReply(timeoutMs); }
    link::Payload lastReply() const override { return {}; }
    bool lastReplyWasError() const override { return false; }
    void pause(int ms) override { waits.push_back(ms); }
    bool cancelled() const override { return false; }
    link::OpStatus cancelReason() const override { return link::OpStatus::Cancelled; }
    void showProgress(bool, int) override {}
    void setProgress(int) override {}
    void setBusyCursor(bool) override {}

    bool device = true;
    bool replies = true;
    std::vector<link::Payload> sent;
    std::vector<int> waits; // time-outs asked for, in order

private:
    link::DeviceImage m_image;
};

} // namespace vardex::test
