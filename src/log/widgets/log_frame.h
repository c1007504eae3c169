#pragma once

#include "kit/widgets/page.h"
#include "kit/widgets/page_context.h"

#include <QWidget>

class QPushButton;

#include <cstdint>
#include <vector>

namespace vardex::log {

// The log page's frame. Owns the store of event-log records that a read or a
// loaded file fills.
class LogFrame : public QWidget, public ui::Page {
    Q_OBJECT
public:
    static constexpr std::size_t kRecordCount = 16384;
    static constexpr std::size_t kRecordSize = 84;

    LogFrame(ui::PageContext context, QWidget *parent = nullptr);

    // Allocated at start-up, released when the window closes.
    void allocateRecordStore();
    void releaseRecordStore();
    bool hasRecordStore() const { return !m_records.empty(); }

    // The log read needs only a controller, not a description.
    void onConnectionChanged(bool connected) override;
    void onClosing() override { releaseRecordStore(); }

private:
    ui::PageContext m_ctx;
    QPushButton *m_readButton = nullptr;
    std::vector<std::uint8_t> m_records;
};

} // namespace vardex::log
