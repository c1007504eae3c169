#include "display/widgets/futaba_page.h"

#include "display/commands.h"
#include "display/widgets/module_preview.h"
#include "display/widgets/picture_grid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace vardex::display {

namespace {

const char *const kTag = "tag";

QComboBox *comboBox(QWidget *parent, const char *name, const QStringList &items,
                    const QString &hint = {})
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(items);
    box->setStatusTip(hint);
    return box;
}

QGroupBox *groupBox(QWidget *parent, const QString &title, const char *name = nullptr)
{
    auto *g = new QGroupBox(title, parent);
    if (name)
        g->setObjectName(QLatin1String(name));
    return g;
}

// The icon of the button that shows the user character: the character itself.
QIcon userCharacterIcon()
{
    const auto rows = userCharacterRows();
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) {
            if (rows[static_cast<std::size_t>(2 * r + c / 8)] & (0x80 >> (c % 8)))
                image.setPixel(c, r, qRgb(0, 0, 0));
        }
    }
    return QIcon(QPixmap::fromImage(image));
}

// Holds a button whose caption changes often at the size the layout gives it (room for the
// widest caption it can take). It has no layout of its own, so a new caption's size hint
// stops here instead of re-laying out the page, the tab and the window.
class CaptionFence final : public QWidget {
public:
    CaptionFence(QPushButton *button, const QStringList &captions, QWidget *parent)
        : QWidget(parent), m_button(button)
    {
        const QString shown = button->text();
        m_hint = button->sizeHint();
        for (const QString &caption : captions) {
            button->setText(caption);
            m_hint = m_hint.expandedTo(button->sizeHint());
        }
        button->setText(shown);
        button->setParent(this);
        setSizePolicy(button->sizePolicy());
    }
    QSize sizeHint() const override { return m_hint; }
    QSize minimumSizeHint() const override { return m_hint; }

protected:
    void resizeEvent(QResizeEvent *) override { m_button->setGeometry(rect()); }

private:
    QPushButton *m_button;
    QSize m_hint;
};

} // namespace

QPushButton *FutabaPage::button(const char *name, const QString &caption, const QString &hint,
                                int tag)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(QLatin1String(name));
    b->setStatusTip(hint);
    b->setProperty(kTag, tag);
    b->setAutoDefault(false);
    return b;
}

void FutabaPage::onClick(const char *name, const std::function<void(int tag)> &handler)
{
    auto *b = findChild<QAbstractButton *>(QLatin1String(name));
    if (!b)
        return;
    connect(b, &QAbstractButton::clicked, this,
            [b, handler] { handler(b->property(kTag).toInt()); });
}

void FutabaPage::buildControls()
{
    // Two rows that do not share columns: the wide text controls beside the picture,
    // the preview beside the tests.
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(4, 4, 4, 4);
    page->setSpacing(4);

    auto *upper = new QHBoxLayout;
    upper->setSpacing(6);
    auto *left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(buildLineGroup(1));
    left->addWidget(buildLineGroup(2));
    left->addWidget(buildGroupScroll());
    left->addWidget(buildSettings());
    upper->addLayout(left, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(buildPictureGroup());
    right->addStretch(1);
    upper->addLayout(right);
    page->addLayout(upper);

    auto *lower = new QHBoxLayout;
    lower->setSpacing(6);
    auto *previewGroup = groupBox(this, QStringLiteral("Просмотр"), "PreviewGroupBox");
    auto *pv = new QVBoxLayout(previewGroup);
    pv->setContentsMargins(2, 2, 2, 2);
    m_preview = new ModulePreview(m_model, previewGroup);
    pv->addWidget(m_preview);
    lower->addWidget(previewGroup, 1);

    auto *tests = new QVBoxLayout;
    auto *test2 = groupBox(this, QStringLiteral("Тест 2"));
    auto *t = new QHBoxLayout(test2);
    t->addWidget(button("FutabaTest2Btn", QStringLiteral("Запуск ")));
    t->addWidget(button("StopTest2Btn", QStringLiteral("Стоп")));
    tests->addWidget(test2);
    tests->addWidget(buildScriptGroup());
    tests->addStretch(1);
    lower->addLayout(tests);
    page->addLayout(lower, 1);
}

QWidget *FutabaPage::buildLineGroup(int line)
{
    const bool first = line == 1;
    auto *group = groupBox(this, first ? QStringLiteral("Верхняя строка ")
                                       : QStringLiteral("Нижняя строка "));
    auto *v = new QVBoxLayout(group);
    v->setContentsMargins(6, 2, 6, 4);
    v->setSpacing(2);
    auto *edit =
        new QLineEdit(first ? QStringLiteral("Строка 1") : QStringLiteral("Строка 2"), group);
    edit->setObjectName(first ? QStringLiteral("FutabaLine1Edit")
                              : QStringLiteral("FutabaLine2Edit"));
    m_lines[line - 1] = edit;
    v->addWidget(edit);

    auto *row = new QHBoxLayout;
    auto *statics = groupBox(group, QStringLiteral("Статический режим"));
    auto *sh = new QHBoxLayout(statics);
    sh->setContentsMargins(6, 2, 6, 4);
    sh->addWidget(button(first ? "SendRS232Btn" : "SendRS232_Line2_Btn", QStringLiteral("Загрузка"),
                         first ? QStringLiteral("Статический текс в первой строке")
                               : QStringLiteral("Статический текс во второй строке"),
                         line));
    sh->addWidget(button(first ? "ClearLine1Btn" : "ClearLine2Btn", QStringLiteral("Очистка"),
                         QStringLiteral("Очистка строки %1").arg(line), line));
    if (first) {
        auto *glyph = new QToolButton(statics);
        glyph->setObjectName(QStringLiteral("SpeedButton2"));
        glyph->setIcon(userCharacterIcon());
        glyph->setAutoRaise(true);
        sh->addWidget(glyph);
    }
    row->addWidget(statics);

    auto *scroll = groupBox(group, QStringLiteral("Одиночная прокрутка"));
    auto *ch = new QHBoxLayout(scroll);
    ch->setContentsMargins(6, 2, 6, 4);
    ch->addWidget(new QLabel(QStringLiteral("Скорость"), scroll));
    m_scrollSpeed[line - 1] =
        comboBox(scroll, first ? "SingleScrollSpeedLine1Box" : "SingleScrollSpeedLine2Box",
                 {QStringLiteral(" 25 ms"), QStringLiteral(" 38 ms"), QStringLiteral(" 90 ms"),
                  QStringLiteral("166 ms")});
    m_scrollSpeed[line - 1]->setCurrentIndex(0);
    m_scrollSpeed[line - 1]->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ch->addWidget(m_scrollSpeed[line - 1]);
    ch->addWidget(
        button(first ? "ScrollLine1Btn" : "ScrollLine2Btn", QStringLiteral("Загрузка"), {}, line));
    ch->addWidget(button(first ? "ClearScrollLine1Btn" : "ClearScrollLine2Btn",
                         QStringLiteral("Очистка"), {}, line));
    row->addWidget(scroll, 1);
    v->addLayout(row);
    return group;
}

QWidget *FutabaPage::buildGroupScroll()
{
    auto *group = groupBox(this, QStringLiteral("Общая прокрутка"));
    auto *h = new QHBoxLayout(group);
    h->setContentsMargins(6, 2, 6, 4);
    h->addWidget(button("SetScrollBtn", QStringLiteral("Вкл режима"),
                        QStringLiteral("Включение режима групповой прокрутки строк")));
    m_groupSpeed =
        comboBox(group, "AllScroolSpeedBox", {QStringLiteral(" 10 ms"), QStringLiteral(" 20 ms")});
    m_groupSpeed->setCurrentIndex(0);
    m_groupSpeed->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    h->addWidget(m_groupSpeed);
    h->addWidget(button("SetScrolLine1Btn", QStringLiteral("Загрузка 1"),
                        QStringLiteral("Загрузка данных прокрутки первой строки"), 1));
    h->addWidget(button("SetScrolLine2Btn", QStringLiteral("Загрузка 2"),
                        QStringLiteral("Загрузка данных прокрутки второй строки"), 2));
    auto *four = button("SetScrolLine4Btn", QStringLiteral("Загрузка 4"));
    four->hide();
    h->addWidget(four);
    h->addWidget(button("StartScrollBtn", QStringLiteral("Запуск"),
                        QStringLiteral("Запуск начало прокрутки")));
    h->addWidget(button("ResetScrollBtn", QStringLiteral("Сброс"),
                        QStringLiteral("Выключение режима групповой прокрутки")));
    return group;
}

QWidget *FutabaPage::buildSettings()
{
    auto *box = new QWidget(this);
    auto *g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);

    const QString dimHint = QStringLiteral("Установка уровня яркости");
    g->addWidget(new QLabel(QStringLiteral("Яркость"), box), 0, 0);
    m_dimming = comboBox(box, "DimmingBox",
                         {QStringLiteral("Выкл"), QStringLiteral("32%"), QStringLiteral("45%"),
                          QStringLiteral("79%"), QStringLiteral("100%")},
                         dimHint);
    m_dimming->setPlaceholderText(QStringLiteral("100%"));
    m_dimming->setCurrentIndex(-1);
    g->addWidget(m_dimming, 0, 1);
    g->addWidget(button("SetDimmingModeBtn", QStringLiteral("Установить"), dimHint), 0, 2);

    const QString modeHint = QStringLiteral("Установка режима отображения индикатора");
    g->addWidget(new QLabel(QStringLiteral("Режим отображения экрана"), box), 1, 0);
    m_screenMode = comboBox(
        box, "ScreenModeBox",
        {QStringLiteral("5x7                   8 строк"),
         QStringLiteral("16x16, 8x16      3 строки"), QStringLiteral("24х24, 12х24    2 строки"),
         QStringLiteral("24х24 -1 16х16 2 строки"), QStringLiteral("16х16, 8х16      4 строки"),
         QString(), QString(), QString()},
        modeHint);
    m_screenMode->setCurrentIndex(2);
    m_screenMode->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    g->addWidget(m_screenMode, 1, 1);
    g->addWidget(button("SetScreenModeBtn", QStringLiteral("Установить"), modeHint), 1, 2);

    const QString attrHint = QStringLiteral("Установка режима дисплея");
    g->addWidget(new QLabel(QStringLiteral("Режим дисплея"), box), 2, 0);
    m_attribute = comboBox(
        box, "cbDislpayMode",
        {QStringLiteral("Сброс"), QStringLiteral("Моргание"), QStringLiteral("Реверс")}, attrHint);
    m_attribute->setCurrentIndex(0);
    g->addWidget(m_attribute, 2, 1);
    g->addWidget(button("SetFutabaDisplayModeBtn", QStringLiteral("Установить"), attrHint), 2, 2);

    auto *actions = new QHBoxLayout;
    actions->addWidget(button("ResetFutabaBtn", QStringLiteral("Сброс индикатора")));
    actions->addWidget(button("FilFutabaBtn", QStringLiteral("Заливка "),
                              QStringLiteral("Заполнение всего экрана")));
    actions->addWidget(
        button("Fili4LineBtn", QStringLiteral("4 строки "), QStringLiteral("Заполняем 4 строки")));
    actions->addWidget(button("TestFutabaBtn", QStringLiteral("Тест 1"),
                              QStringLiteral("Запуск теста индикатора")));
    actions->addWidget(button("StopTest1Btn", QStringLiteral("Стоп"),
                              QStringLiteral("Остановить тест 1 (после текущего столбца)")));
    auto *font = button("SpeedButton1", QStringLiteral("Шрифт "));
    font->hide();
    actions->addWidget(font);
    g->addLayout(actions, 3, 0, 1, 3);
    g->setColumnStretch(1, 1);
    return box;
}

QWidget *FutabaPage::buildPictureGroup()
{
    auto *group = groupBox(this, QStringLiteral("Картинка"));
    auto *v = new QVBoxLayout(group);
    m_grid = new PictureGrid(group);
    auto *gridRow = new QHBoxLayout;
    gridRow->addWidget(m_grid, 0, Qt::AlignTop);
    auto *files = new QVBoxLayout;
    files->addWidget(
        button("ClearGraphGridBtn", QStringLiteral("Очистить "), QStringLiteral("Очистка ")));
    files->addWidget(button("SaveGraphBtn", QStringLiteral("Сохранить")));
    files->addWidget(button("LoadGraphBtn", QStringLiteral("Считать")));
    files->addStretch(1);
    gridRow->addLayout(files);
    v->addLayout(gridRow);

    auto *pos = new QGridLayout;
    auto spin = [group](const char *name, int maximum) {
        auto *s = new QSpinBox(group);
        s->setObjectName(QLatin1String(name));
        s->setRange(0, maximum);
        s->setValue(0);
        return s;
    };
    m_posX = spin("PosXEdit", 255);
    m_posY = spin("PosYEdit", 64);
    pos->addWidget(new QLabel(QStringLiteral("Позиция X"), group), 0, 0);
    pos->addWidget(m_posX, 0, 1);
    pos->addWidget(new QLabel(QStringLiteral("Позиция Y"), group), 1, 0);
    pos->addWidget(m_posY, 1, 1);
    pos->addWidget(button("LoadGraphToFutabaBtn", QStringLiteral("Загрузка"),
                          QStringLiteral("Загрузка картинки в позицию FUTABA")),
                   2, 0, 1, 2);
    v->addLayout(pos);
    return group;
}

QWidget *FutabaPage::buildScriptGroup()
{
    auto *group = groupBox(this, QStringLiteral("Формирование автономного теста Futaba"));
    auto *h = new QGridLayout(group);
    QStringList contacts;
    for (int k = 1; k <= 8; ++k)
        contacts << QStringLiteral("Кон. %1").arg(k);
    m_contact = comboBox(group, "cbFutabaKont", contacts);
    m_contact->setCurrentIndex(0);
    h->addWidget(m_contact, 0, 0, 1, 2);
    m_writeScript = button("WriteFutabaTestFramBtn", QStringLiteral("Запись"),
                           QStringLiteral("Запись тестового пакета для FUTABA в контроллер"));
    // Its caption follows the buffer's position with every command sent (several a second
    // during test 2): a new caption repaints the button alone and never asks the page for
    // a new layout.
    h->addWidget(new CaptionFence(m_writeScript, {ScriptBuffer::captionFor(888)}, group), 1, 0);
    h->addWidget(button("ClearFutabaBufBtn", QStringLiteral("Очистка"),
                        QStringLiteral("Очистка буффера пакетов для FUTABA")),
                 1, 1);
    return group;
}

} // namespace vardex::display
