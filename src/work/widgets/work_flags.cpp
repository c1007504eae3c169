#include "work/widgets/work_flags.h"

#include "link/device_image.h"
#include "work/widgets/work_look.h"

#include <QCheckBox>
#include <QGridLayout>

namespace vardex::ui {

using namespace worklook;

WorkFlags::WorkFlags(QWidget *parent) : QGroupBox(tr("Система"), parent)
{
    setObjectName(QStringLiteral("SystemGroupBox"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(8, 2, 8, 4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    for (int n = 1; n <= work::kSystemFlagCount; ++n) {
        const work::SystemFlagInfo info = work::systemFlagInfo(n);
        auto *box = checkBox(memberName("cbFlags", n), info.caption, n, this);
        if (!info.hint.isEmpty())
            setHint(box, info.hint, false);
        box->setVisible(info.look != work::FlagLook::Hidden);
        grid->addWidget(box, (n - 1) % 8, (n - 1) / 8);
        m_flags[static_cast<std::size_t>(n - 1)] = box;
    }
    for (int column = 0; column < 8; ++column)
        grid->setColumnStretch(column, 1);
}

void WorkFlags::showState(const link::MonitorState &state)
{
    for (int n = 1; n <= work::kSystemFlagCount; ++n) {
        QCheckBox *box = m_flags[static_cast<std::size_t>(n - 1)];
        const bool set = state.flag(n);
        box->setChecked(set);
        setFlagLook(box, set);
    }
}

QCheckBox *WorkFlags::flag(int n) const
{
    return n >= 1 && n <= work::kSystemFlagCount ? m_flags[static_cast<std::size_t>(n - 1)]
                                                 : nullptr;
}

void WorkFlags::setChannelNames(const ChannelNames &names)
{
    for (int i = 0; i < 3; ++i)
        m_flags[static_cast<std::size_t>(3 + i)]->setText(names[i]);
}

} // namespace vardex::ui
