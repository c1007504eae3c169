// Building the loop page's controls from small descriptor tables.
#include "common/channel_names.h"
#include "kit/widgets/control_helpers.h"
#include "kit/widgets/focus_tint.h"
#include "kit/widgets/number_edit.h"
#include "loops/widgets/ext_box.h"
#include "loops/widgets/loop_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vardex::loops {

namespace {

constexpr int kLevelEditWidth = 52;
constexpr int kModeListWidth = 78;

struct FamilySpec {
    const char *group;
    const char *useName;  // family name of the check boxes
    const char *modeName; // family name of the mode lists
    const char *loName;
    const char *hiName;
    double min;
    double max;
    int decimals;
};

const FamilySpec kContact{"Концевики ", "cbDigitInputUpr", "cbDigitInputUprMode", "", "", 0, 0, 0};
const FamilySpec kTtl{"ТТЛ вход", "cbTTLInputUpr", "cbTTLInputUprMode", "", "", 0, 0, 0};
const FamilySpec kAnalog{
    "Аналоги ", "cbAnalogUpr", "AnalogModeEdit", "AnalogLevelLoEdit", "AnalogLevelHiEdit", 0, 32768,
    2};
const FamilySpec kTemper{"Температура",
                         "cbTemperUpr",
                         "TemperModeEdit",
                         "TemperLevelLoEdit",
                         "TemperLevelHiEdit",
                         -40,
                         125,
                         0};

QComboBox *modeList(const QString &name, QWidget *parent)
{
    auto *box = ui::makeModeList(name, parent);
    box->setFixedWidth(kModeListWidth);
    return box;
}

QGridLayout *compactGrid(QGroupBox *group)
{
    auto *grid = new QGridLayout(group);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    return grid;
}

} // namespace

void LoopPage::build()
{
    m_groups[0] = buildInputGroup(Family::Contact);
    m_groups[1] = buildInputGroup(Family::Ttl);
    m_groups[2] = buildLevelGroup(Family::Analog);
    m_groups[3] = buildLevelGroup(Family::Temper);
    m_groups[4] = buildProgramGroup();

    auto *top = new QHBoxLayout;
    top->addWidget(m_groups[0]);
    top->addWidget(m_groups[1]);
    top->addWidget(m_groups[4], 0, Qt::AlignTop);
    top->addStretch(1);
    auto *middle = new QHBoxLayout;
    middle->addWidget(m_groups[2]);
    middle->addWidget(m_groups[3]);
    middle->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addStretch(1);
    layout->addWidget(buildButtons());

    m_extBox->hide();
    m_extBox->raise();
}

QGroupBox *LoopPage::buildInputGroup(Family family)
{
    const bool contacts = family == Family::Contact;
    const FamilySpec &table = contacts ? kContact : kTtl;
    auto &rows = contacts ? m_contacts : m_ttl;
    auto *group = new QGroupBox(QString::fromUtf8(table.group), this);
    auto *grid = compactGrid(group);
    for (int k = 1; k <= 8; ++k) {
        InputRow &row = rows[static_cast<std::size_t>(k - 1)];
        row.use = new QCheckBox(QStringLiteral("Вход %1").arg(k), group);
        row.use->setObjectName(ui::memberName(table.useName, k));
        row.use->setProperty("bitValue", 1 << (k - 1));
        row.mode = modeList(ui::memberName(table.modeName, k), group);
        grid->addWidget(row.use, k - 1, 0);
        grid->addWidget(row.mode, k - 1, 1);
        connect(row.use, &QCheckBox::clicked, this,
                [this, family, k](bool checked) { onUseClicked(family, k, checked); });
        connect(row.mode, &QComboBox::activated, this,
                [this, family, k](int index) { onModeChosen(family, k, index); });
    }
    return group;
}

QGroupBox *LoopPage::buildLevelGroup(Family family)
{
    const bool analog = family == Family::Analog;
    const FamilySpec &table = analog ? kAnalog : kTemper;
    auto &rows = analog ? m_analog : m_temper;
    auto *group = new QGroupBox(QString::fromUtf8(table.group), this);
    auto *grid = compactGrid(group);
    // Column captions wrap onto two lines so the two level groups fit side by side.
    for (int col = 1; col <= 2; ++col) {
        auto *caption = new QLabel(
            col == 1 ? QStringLiteral("Нижн. порог") : QStringLiteral("Верхн. порог"), group);
        caption->setWordWrap(true);
        caption->setFixedWidth(kLevelEditWidth);
        caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        grid->addWidget(caption, 0, col);
    }
    for (int k = 1; k <= 6; ++k) {
        LevelRow &row = rows[static_cast<std::size_t>(k - 1)];
        const QString caption =
            analog ? QString::fromUtf8(kAnalogCaptions[k - 1]) : QStringLiteral("Темпер %1").arg(k);
        row.use = new QCheckBox(caption, group);
        row.use->setObjectName(ui::memberName(table.useName, k));
        row.use->setProperty("bitValue", 1 << (k - 1));
        row.lo = new ui::NumberEdit(table.min, table.max, table.decimals,
                                    ui::NumberEdit::Commit::OnLeave, group);
        row.lo->setObjectName(ui::memberName(table.loName, k));
        row.hi = new ui::NumberEdit(table.min, table.max, table.decimals,
                                    ui::NumberEdit::Commit::OnLeave, group);
        row.hi->setObjectName(ui::memberName(table.hiName, k));
        for (ui::NumberEdit *edit : {row.lo, row.hi}) {
            edit->setFixedWidth(kLevelEditWidth);
            edit->setClampWhileTyping(!analog);
        }
        row.mode = modeList(ui::memberName(table.modeName, k), group);
        grid->addWidget(row.use, k, 0);
        grid->addWidget(row.lo, k, 1);
        grid->addWidget(row.hi, k, 2);
        grid->addWidget(row.mode, k, 3);
        connect(row.use, &QCheckBox::clicked, this,
                [this, family, k](bool checked) { onUseClicked(family, k, checked); });
        connect(row.mode, &QComboBox::activated, this,
                [this, family, k](int index) { onModeChosen(family, k, index); });
        connect(row.lo, &ui::NumberEdit::committed, this,
                [this, family, k] { onLevelCommitted(family, k, false); });
        connect(row.hi, &ui::NumberEdit::committed, this,
                [this, family, k] { onLevelCommitted(family, k, true); });
    }
    return group;
}

QGroupBox *LoopPage::buildProgramGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Программный"), this);
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(6, 4, 6, 4);
    const char *const captions[] = {"Хост", "Тест"};
    const char *const hints[] = {"Управление контуром из компьютера",
                                 "Резервный вход управления контуром от компьютера"};
    for (int k = 1; k <= 2; ++k) {
        auto *box = new QCheckBox(QString::fromUtf8(captions[k - 1]), group);
        box->setObjectName(ui::memberName("cbProgUpr", k));
        ui::setHint(box, QString::fromUtf8(hints[k - 1]), false);
        layout->addWidget(box);
        m_program[static_cast<std::size_t>(k - 1)] = box;
        connect(box, &QCheckBox::clicked, this,
                [this, k](bool checked) { onProgramClicked(k, checked); });
    }
    return group;
}

QWidget *LoopPage::buildButtons()
{
    auto *strip = new QWidget(this);
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    struct ButtonSpec {
        const char *name;
        const char *caption;
        const char *hint;
        QPushButton **button;
    };
    const ButtonSpec buttons[] = {
        {"WriteCurentUprLoopConfigBtn", "Запись", "Запись конфигурации текущего контура управления",
         &m_writeBtn},
        {"ReadCurentUprLoopConfigBtn", "Чтение", "Чтение конфигурации текущего контура управления",
         &m_readBtn},
        {"UprLoopConfigExtBtn", "Дополнительно", "Дополнительные настройки контура управления",
         &m_extBtn},
    };
    for (const ButtonSpec &b : buttons) {
        auto *button = new QPushButton(QString::fromUtf8(b.caption), strip);
        button->setObjectName(QLatin1String(b.name));
        ui::setHint(button, QString::fromUtf8(b.hint), false);
        button->setMinimumWidth(110);
        layout->addWidget(button);
        *b.button = button;
    }
    layout->addStretch(1);
    connect(m_writeBtn, &QPushButton::clicked, this, &LoopPage::onWriteClicked);
    connect(m_readBtn, &QPushButton::clicked, this, &LoopPage::onReadClicked);
    connect(m_extBtn, &QPushButton::clicked, this, &LoopPage::onExtendedClicked);
    return strip;
}

void LoopPage::layoutExtBox()
{
    // Over the input groups, leaving the button row free to close it again.
    m_extBox->setGeometry(QRect(QPoint(4, 2), ExtBox::kSize));
}

} // namespace vardex::loops
