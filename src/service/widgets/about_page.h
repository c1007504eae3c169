#pragma once

#include "kit/widgets/page.h"
#include "kit/widgets/page_context.h"

#include <QWidget>

class QLabel;
class QToolButton;

namespace vardex::service {

// "О программе": what the program is, and the bench read-out of the last byte the
// controller received on its serial line.
class AboutPage : public QWidget, public ui::Page {
    Q_OBJECT
public:
    explicit AboutPage(ui::PageContext context, QWidget *parent = nullptr);

    QToolButton *readButton() const { return m_read; }
    QLabel *serialField() const { return m_serial; }

private:
    void readSerial();

    ui::PageContext m_ctx;
    QToolButton *m_read = nullptr;
    QLabel *m_serial = nullptr;
};

} // namespace vardex::service
