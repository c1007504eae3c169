#pragma once

#include "ui/page_context.h"

#include <QWidget>

namespace vardex::ui {

// The Work page: live state, manual outputs, polling, description and clock
// buttons and the signed-command group.
class WorkPage : public QWidget {
    Q_OBJECT
public:
    WorkPage(PageContext context, QWidget *parent = nullptr);

private:
    PageContext m_ctx;
};

} // namespace vardex::ui
