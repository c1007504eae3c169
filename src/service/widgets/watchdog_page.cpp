#include "service/widgets/watchdog_page.h"

#include "files/file_io.h"
#include "kit/widgets/prompts.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "service/black_box.h"
#include "service/output_release.h"
#include "service/watchdog_output.h"
#include "work/description_transfer.h"
#include "work/output_switch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace vardex::service {

// PingTimer as the watchdog sees it; the phase is the timer's "tag" property.
class PingTimerAdapter final : public WatchdogTimer {
public:
    explicit PingTimerAdapter(QTimer *timer) : m_timer(timer) {}
    void start() override { m_timer->start(); }
    void stop() override { m_timer->stop(); }
    void setInterval(int ms) override { m_timer->setInterval(ms); }
    int interval() const override { return m_timer->interval(); }
    bool isActive() const override { return m_timer->isActive(); }
    void setPhase(int phase) override { m_timer->setProperty("tag", phase); }

private:
    QTimer *m_timer;
};

namespace {

// Stands in when the program was built without an echo: every ping says so.
class MissingEcho final : public Echo {
public:
    void start(const EchoRequest &, Done done) override
    {
        m_busy = true;
        QTimer::singleShot(0, [this, done = std::move(done)] {
            m_busy = false;
            done(EchoResult::failed(QStringLiteral("Эхо-запрос ICMP недоступен")));
        });
    }
    bool busy() const override { return m_busy; }

private:
    bool m_busy = false;
};

// Forwards to whichever echo the page has at the moment of the ping.
class EchoSwitch final : public Echo {
public:
    explicit EchoSwitch(std::function<Echo &()> current) : m_current(std::move(current)) {}
    void start(const EchoRequest &request, Done done) override
    {
        m_current().start(request, std::move(done));
    }
    bool busy() const override { return m_current().busy(); }

private:
    std::function<Echo &()> m_current;
};

Echo &missingEcho()
{
    static MissingEcho none;
    return none;
}

QSpinBox *spin(QWidget *parent, const char *name, int min, int max, int value)
{
    auto *s = new QSpinBox(parent);
    s->setObjectName(QLatin1String(name));
    s->setRange(min, max);
    s->setSingleStep(100);
    s->setValue(value);
    return s;
}

QLabel *textField(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(150);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

struct BlackBoxField {
    const char *name;
    const char *label;
    bool hidden;
    QString BlackBoxTexts::*text;
};

const BlackBoxField kBlackBoxFields[] = {
    {"stProgUpDate", "Обновление ", true, &BlackBoxTexts::progUpdate},
    {"stConfigUpdate", "Конфигурация", true, &BlackBoxTexts::configUpdate},
    {"stUprUpdate", "Контур управления", true, &BlackBoxTexts::uprUpdate},
    {"stPowerOn", "Вкл.", false, &BlackBoxTexts::powerOn},
    {"stBatOn", "Вкл.бат", false, &BlackBoxTexts::batOn},
    {"stBatOff", "Бат.выкл", false, &BlackBoxTexts::batOff},
    {"stBatWorkLast", "Бат.послед", false, &BlackBoxTexts::batWorkLast},
    {"stBatWorkSum", "Бат.сумм", false, &BlackBoxTexts::batWorkSum},
};

} // namespace

WatchDogPage::WatchDogPage(ui::PageContext &ctx, std::unique_ptr<Echo> echo, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_echo(std::move(echo)),
      m_echoSwitch(std::make_unique<EchoSwitch>(
          [this]() -> Echo & { return m_echo ? *m_echo : missingEcho(); }))
{
    setObjectName(QStringLiteral("WatchDogPage"));
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("PingTimer"));
    m_timer->setInterval(1000);
    // A coarse timer may end a pulse up to 5 % early; the pulse's length is the point.
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timerAdapter = std::make_unique<PingTimerAdapter>(m_timer);

    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("WatchDogPageBody"));
    auto *layout = new QVBoxLayout(m_body);
    auto *top = new QHBoxLayout;
    top->addWidget(buildWatchdogGroup(), 3);
    top->addWidget(buildBlackBoxGroup(), 2);
    layout->addLayout(top);
    layout->addWidget(buildLogGroup(), 1);

    QPointer<WatchDogPage> self(this);
    m_watchdog = std::make_unique<Watchdog>(
        *m_echoSwitch, *m_timerAdapter, *this,
        [self, &dm = m_ctx.dm,
         &clock = m_ctx.clock](int item, bool on, std::function<void(const TaskDelivery &)> done) {
            // Ahead of ordinary queued work, never interleaved with an exchange: it goes
            // at the running sequence's next step. The watchdog times the pulse from the
            // write, so a pulse held up keeps its length at the controller.
            const qint64 decided = clock.monotonicMs();
            dm.runPriority([self, item, on, decided, done, &clock](link::OperationContext &op) {
                TaskDelivery d;
                d.delayMs = std::max<qint64>(0, clock.monotonicMs() - decided);
                if (op.hasDevice() && !op.cancelled()) {
                    // The outputs are read first: only this one changes.
                    const work::OutputSwitch s = work::switchOutputs(
                        op,
                        [item, on](link::OutputTask &task) { setWatchdogOutput(task, item, on); },
                        0);
                    d.sent = s.read;
                    d.notRead = !s.read && op.hasDevice() && !op.cancelled();
                }
                if (self && done)
                    done(d);
            });
        },
        m_ctx.clock);
    connect(&m_ctx.dm, &link::DataModule::controllerLeaving, this,
            &WatchDogPage::releaseOnReplacement);
    connect(m_timer, &QTimer::timeout, this, [this] { m_watchdog->timerTick(); });
    connect(m_sendPing, &QPushButton::clicked, this, [this] { m_watchdog->manualPing(); });
    connect(m_start, &QCheckBox::clicked, this,
            [this](bool checked) { m_watchdog->watchingToggled(checked); });
    connect(m_rearm, &QPushButton::clicked, this, [this] { m_watchdog->rearm(); });
    policyChanged();
}

WatchDogPage::~WatchDogPage()
{
    m_timer->stop();
}

QSize WatchDogPage::sizeHint() const
{
    return m_body->sizeHint();
}

QSize WatchDogPage::minimumSizeHint() const
{
    return m_body->minimumSizeHint();
}

void WatchDogPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_body->setGeometry(rect());
}

void WatchDogPage::setEcho(std::unique_ptr<Echo> echo)
{
    m_echo = std::move(echo);
}

void WatchDogPage::startWatching(const QString &host, int output)
{
    m_host->setText(host);
    m_output->setCurrentIndex(output);
    if (!m_start->isChecked())
        m_start->click();
}

QWidget *WatchDogPage::buildWatchdogGroup()
{
    auto *group = new QGroupBox(tr("Сторож"), this);
    group->setObjectName(QStringLiteral("WatchDogGroupBox"));
    auto *grid = new QGridLayout(group);
    int row = 0;
    auto addRow = [&](const QString &label, QWidget *w, QWidget *extra = nullptr) {
        if (!label.isEmpty())
            grid->addWidget(new QLabel(label, group), row, 0);
        grid->addWidget(w, row, 1);
        if (extra)
            grid->addWidget(extra, row, 2);
        ++row;
    };

    m_host = new QLineEdit(group);
    m_host->setObjectName(QStringLiteral("HostEdit"));
    // Empty on purpose: a preset address could be pinged (and a machine power-cycled)
    // before the operator has typed the one to watch.
    m_host->setPlaceholderText(tr("имя или адрес, например 192.0.2.10"));
    m_host->setStatusTip(tr("Узел, который опрашивает сторож: имя или адрес IPv4"));
    m_pingTime = spin(group, "PingTimeEdit", 100, 5000, 500);
    m_sendPing = new QPushButton(tr("Ping"), group);
    m_sendPing->setObjectName(QStringLiteral("SendPingBtn"));
    m_answer = textField(group, "stPingAnser");
    m_answer->setWordWrap(true);
    m_answer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_answer->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed); // long ones wrap
    // Room for two lines whatever it holds: the field is emptied and filled again with
    // every ping, and a height that followed the text would move every row below it.
    m_answer->setFixedHeight(2 * m_answer->fontMetrics().lineSpacing() +
                             2 * m_answer->frameWidth() + 2 * m_answer->margin() + 2);
    m_askTime = spin(group, "PingAskTimeEdit", 100, 10000, 3000);
    m_start = new QCheckBox(tr("Циклический опрос"), group);
    m_start->setObjectName(QStringLiteral("cbPingWatchDogStart"));
    m_output = new QComboBox(group);
    m_output->setObjectName(QStringLiteral("PingOutputComboBox"));
    m_output->setEditable(true);
    m_output->setInsertPolicy(QComboBox::NoInsert);
    m_output->addItems(watchdogOutputTexts());
    m_output->setCurrentIndex(0);
    m_uprTime = spin(group, "PingUprTimeEdit", 100, 10000, 1000);
    m_misses = spin(group, "PingMissesEdit", 1, 100, 1);
    m_misses->setSingleStep(1);
    m_misses->setStatusTip(
        tr("Сколько эхо-запросов подряд должны остаться без ответа, прежде чем сторож сработает"));
    m_holdOff = spin(group, "PingHoldOffEdit", 0, 3600, 0);
    m_holdOff->setSingleStep(10);
    m_holdOff->setSuffix(tr(" с"));
    m_holdOff->setStatusTip(tr("Сколько секунд после срабатывания пропуски не считаются "
                               "(узел ещё загружается)"));
    m_host2 = new QLineEdit(group);
    m_host2->setObjectName(QStringLiteral("HostEdit2"));
    m_host2->setPlaceholderText(tr("необязательно: второй узел"));
    m_host2->setStatusTip(tr("Второй узел: сторож сработает, только если не ответит ни один "
                             "из двух (шлюз, который не отвечает на эхо-запросы, сам по себе "
                             "не вызовет импульса)"));
    m_armAfter = spin(group, "PingArmEdit", 0, 100, 0);
    m_armAfter->setSingleStep(1);
    m_armAfter->setSpecialValueText(tr("нет"));
    m_armAfter->setStatusTip(tr("Сколько раз узел должен ответить после включения наблюдения и "
                                "после каждого импульса, прежде чем пропуски начнут считаться"));
    m_maxPulses = spin(group, "PingMaxPulsesEdit", 0, 100, 0);
    m_maxPulses->setSingleStep(1);
    m_maxPulses->setSpecialValueText(tr("нет"));
    m_maxPulses->setStatusTip(tr("Больше импульсов за это время сторож не даст: он остановится "
                                 "и включится снова, когда узел ответит"));
    m_per = spin(group, "PingPerEdit", 1, 1440, 60);
    m_per->setSingleStep(10);
    m_per->setPrefix(tr("за "));
    m_per->setSuffix(tr(" мин"));
    m_backoff = spin(group, "PingBackoffEdit", 0, 86400, 0);
    m_backoff->setSingleStep(60);
    m_backoff->setSuffix(tr(" с"));
    m_backoff->setSpecialValueText(tr("нет"));
    m_backoff->setStatusTip(tr("Пауза после каждого следующего импульса одного отказа "
                               "удваивается, но не больше этого; ответ узла возвращает её"));
    m_state = textField(group, "PingStateLabel");
    m_state->setWordWrap(true);
    m_state->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_state->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // Two lines whatever it says, so a change of state moves nothing below it.
    m_state->setFixedHeight(2 * m_state->fontMetrics().lineSpacing() + 2 * m_state->frameWidth() +
                            2 * m_state->margin() + 2);
    m_rearm = new QPushButton(tr("Включить снова"), group);
    m_rearm->setObjectName(QStringLiteral("PingRearmBtn"));
    m_rearm->setStatusTip(tr("Снять остановку сторожа и забыть счёт импульсов"));
    m_errorLabel = new QLabel(QStringLiteral("Error"), group);
    m_errorLabel->setObjectName(QStringLiteral("PingErrorLabel"));
    m_errorLabel->setVisible(false);

    grid->addWidget(new QLabel(tr("Host"), group), row, 0);
    grid->addWidget(m_host, row++, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Host 2"), group), row, 0);
    grid->addWidget(m_host2, row++, 1, 1, 2);
    addRow(tr("Время"), m_pingTime, m_sendPing);
    grid->addWidget(new QLabel(tr("Ответ "), group), row, 0);
    grid->addWidget(m_answer, row++, 1, 1, 2);
    addRow(tr("Интервал PING (мс) "), m_askTime);
    grid->addWidget(m_start, row++, 1, 1, 2);
    addRow(tr("Элемент управления"), m_output);
    addRow(tr("Время срабатывания "), m_uprTime, m_errorLabel);
    addRow(tr("Пропусков подряд"), m_misses);
    addRow(tr("Пауза после срабатывания"), m_holdOff);
    addRow(tr("Удваивать паузу до"), m_backoff);
    addRow(tr("Ответов до включения"), m_armAfter);
    addRow(tr("Импульсов не более"), m_maxPulses, m_per);
    grid->addWidget(new QLabel(tr("Состояние"), group), row, 0, Qt::AlignTop);
    grid->addWidget(m_state, row++, 1, 1, 2);
    grid->addWidget(m_rearm, row++, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return group;
}

QWidget *WatchDogPage::buildBlackBoxGroup()
{
    auto *group = new QGroupBox(tr("Отладочная информация"), this);
    group->setObjectName(QStringLiteral("BlackBoxGroupBox"));
    auto *grid = new QGridLayout(group);
    int row = 0;
    for (const BlackBoxField &f : kBlackBoxFields) {
        auto *label = new QLabel(tr(f.label), group);
        label->setObjectName(QStringLiteral("lb") + QLatin1String(f.name).mid(2));
        QLabel *text = textField(group, f.name);
        // Room for the longest a field can hold: a 32-bit count and a stamp of bytes.
        text->setMinimumWidth(text->fontMetrics().horizontalAdvance(
                                  QStringLiteral("4294967295 255-255-255 255:255:255")) +
                              12);
        label->setVisible(!f.hidden);
        text->setVisible(!f.hidden);
        grid->addWidget(label, row, 0);
        grid->addWidget(text, row, 1);
        ++row;
    }
    m_readBlackBox = new QPushButton(tr("Прочитать"), group);
    m_readBlackBox->setObjectName(QStringLiteral("ReadBlackBoxBtn"));
    m_readBlackBox->setEnabled(false);
    m_readBlackBox->setStatusTip(tr("Прочитать счётчики чёрного ящика контроллера"));
    auto *clear = new QPushButton(tr("Очистить"), group);
    clear->setObjectName(QStringLiteral("ClearBlackBoxBtn"));
    clear->setVisible(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_readBlackBox);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    grid->addLayout(buttons, row++, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    connect(m_readBlackBox, &QPushButton::clicked, this, &WatchDogPage::readBlackBox);
    return group;
}

QWidget *WatchDogPage::buildLogGroup()
{
    auto *group = new QGroupBox(tr("Журнал сторожа"), this);
    group->setObjectName(QStringLiteral("WatchDogLogGroupBox"));
    auto *layout = new QVBoxLayout(group);
    m_log = new QListWidget(group);
    m_log->setObjectName(QStringLiteral("WatchDogLogList"));
    m_log->setStatusTip(
        tr("Что сделал сторож и когда (последние %1 записей)").arg(DecisionLog::kMaxLines));
    auto *save = new QPushButton(tr("Сохранить журнал..."), group);
    save->setObjectName(QStringLiteral("SaveWatchDogLogBtn"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    layout->addWidget(m_log, 1);
    layout->addLayout(buttons);
    connect(save, &QPushButton::clicked, this, &WatchDogPage::saveLog);
    return group;
}

void WatchDogPage::onConnectionChanged(bool connected)
{
    m_connected = connected;
    if (!connected) {
        m_readBlackBox->setEnabled(false);
        // Unplugged with the output on (a replacement has settled it already).
        const int held = m_watchdog->heldOutput();
        if (held >= 0) {
            m_owedSerial = m_serial;
            m_watchdog->controllerGone();
            tellMayBeOn(held, m_serial, tr("контроллер отключен"));
        }
        m_serial.clear();
        return;
    }
    if (m_owedSerial.isEmpty()) {
        m_watchdog->controllerConnected(); // a switch-off that found no controller goes now
        return;
    }
    // Only to the controller it is owed to: the one plugged in now says who it is first.
    QPointer<WatchDogPage> self(this);
    m_ctx.dm.runPriority([self](link::OperationContext &ctx) {
        const QString serial = readSerial(ctx);
        if (!self || self->m_owedSerial.isEmpty())
            return;
        const int held = self->m_watchdog->heldOutput();
        if (serial == self->m_owedSerial || held < 0) {
            self->m_owedSerial.clear();
            self->m_watchdog->controllerConnected();
            return;
        }
        self->tellMayBeOn(held, self->m_owedSerial,
                          serial.isEmpty()
                              ? tr("подключенный контроллер не назвал серийный номер, "
                                   "выключение ему не отправлено")
                              : tr("подключен другой контроллер (S/N %1), выключение ему не "
                                   "отправлено")
                                    .arg(serial));
    });
}

void WatchDogPage::onDescriptionRead(const link::DescriptionResult &result)
{
    if (result.described)
        m_readBlackBox->setEnabled(m_connected);
    if (result.identityAnswered)
        m_serial = result.serial;
}

void WatchDogPage::releaseOnReplacement()
{
    // A switch-off owed to a controller pulled out earlier is not this one's to receive.
    if (!m_owedSerial.isEmpty())
        return;
    const int index = m_watchdog->heldOutput();
    if (index < 0) {
        m_watchdog->controllerReplaced(false); // a pulse not yet on ends here
        return;
    }
    // The controller leaving takes the priority lane at once; if it did not run, nothing
    // was switched off.
    OutputRelease release;
    m_ctx.dm.runPriority([&release, index](link::OperationContext &ctx) {
        release = releaseOutput(ctx, ctx.image().outputTask, index);
    });
    m_watchdog->controllerReplaced(release.off());
    m_owedSerial.clear();
    if (!release.off())
        tellMayBeOn(index, m_serial, releaseFailureText(release.outcome));
}

void WatchDogPage::tellMayBeOn(int index, const QString &serial, const QString &why)
{
    const QString text =
        tr("Внимание: %1 контроллера %2 может оставаться включённым (%3)")
            .arg(watchdogOutputName(index),
                 serial.isEmpty() ? tr("(серийный номер не прочитан)") : tr("S/N %1").arg(serial),
                 why);
    // After the connection notice, which clears the hint line; never from inside the
    // link's handling of an arrival or a removal.
    QTimer::singleShot(0, this, [this, text] {
        m_ctx.statusBar.setPanelText(5, text);
        m_ctx.prompts.message(text, ui::Prompts::Kind::Warning);
    });
}

void WatchDogPage::onClosing()
{
    m_closing = true;
    m_watchdog->close();
}

WatchdogInputs WatchDogPage::inputs() const
{
    WatchdogInputs in;
    in.host = m_host->text().trimmed();
    in.pingTimeoutMs = m_pingTime->value();
    in.pingIntervalMs = m_askTime->value();
    in.actuationMs = m_uprTime->value();
    in.watching = m_start->isChecked();
    in.missesInRow = m_misses->value();
    in.holdOffS = m_holdOff->value();
    if (!m_host2->text().trimmed().isEmpty())
        in.moreHosts << m_host2->text().trimmed();
    in.armAfter = m_armAfter->value();
    in.maxPulses = m_maxPulses->value();
    in.perMin = m_per->value();
    in.backoffMaxS = m_backoff->value();
    // Text typed into the list that names no item selects nothing.
    const int found = m_output->findText(m_output->currentText(), Qt::MatchExactly);
    in.output = m_output->currentText().isEmpty() ? m_output->currentIndex() : found;
    return in;
}

void WatchDogPage::showReply(const QString &text)
{
    m_answer->setText(text);
    // What does not fit the field's two lines can still be read.
    m_answer->setToolTip(text);
}

void WatchDogPage::showStatusWord(const QString &word)
{
    m_errorLabel->setText(word);
}

void WatchDogPage::showFacilityError(const QString &text)
{
    const QString shown = m_answer->property("facilityError").toString();
    if (!text.isEmpty()) {
        showReply(text);
        m_ctx.statusBar.setPanelText(5, text);
    } else if (!shown.isEmpty() && m_ctx.statusBar.panelText(5) == shown) {
        m_ctx.statusBar.setPanelText(5, QString());
    }
    m_answer->setProperty("facilityError", text);
}

void WatchDogPage::setManualPingEnabled(bool enabled)
{
    m_sendPing->setEnabled(enabled);
}

void WatchDogPage::logChanged()
{
    const DecisionLog &log = m_watchdog->log();
    const auto &lines = log.lines();
    const auto added = static_cast<std::size_t>(
        std::min<qint64>(log.totalAdded() - m_logShown, static_cast<qint64>(lines.size())));
    for (std::size_t i = lines.size() - added; i < lines.size(); ++i)
        m_log->addItem(lines[i]);
    m_logShown = log.totalAdded();
    while (static_cast<std::size_t>(m_log->count()) > lines.size())
        delete m_log->takeItem(0);
    m_log->scrollToBottom();
}

void WatchDogPage::policyChanged()
{
    const WatchPolicy &policy = m_watchdog->policy();
    const QString text = policy.stateText();
    if (m_state->text() != text) {
        m_state->setText(text);
        m_state->setStatusTip(text); // hints of this page go to the hint line
    }
    m_rearm->setEnabled(policy.state().stoodDown);
}

QString WatchDogPage::settingsText() const
{
    const WatchdogInputs in = inputs();
    const QStringList hosts = watchedHosts(in);
    return tr("# Сторож: узел %1, ожидание ответа %2 мс, интервал %3 мс, %4 на %5 мс, пропусков "
              "подряд %6, пауза после срабатывания %7 с, удваивается до %8 с, ответов до "
              "включения %9, импульсов не более %10 за %11 мин")
        .arg(hosts.isEmpty() ? tr("(не указан)") : hosts.join(QStringLiteral(", ")))
        .arg(in.pingTimeoutMs)
        .arg(in.pingIntervalMs)
        .arg(watchdogOutputName(in.output))
        .arg(in.actuationMs)
        .arg(in.missesInRow)
        .arg(in.holdOffS)
        .arg(in.backoffMaxS)
        .arg(in.armAfter)
        .arg(in.maxPulses)
        .arg(in.perMin);
}

void WatchDogPage::readBlackBox()
{
    QPointer<WatchDogPage> self(this);
    m_ctx.dm.runBetweenSteps([self](link::OperationContext &ctx) {
        const BlackBoxRead read = service::readBlackBox(ctx);
        if (!self || !read.box)
            return;
        const BlackBoxTexts texts = blackBoxTexts(*read.box);
        for (const BlackBoxField &f : kBlackBoxFields) {
            if (auto *l = self->findChild<QLabel *>(QLatin1String(f.name)))
                l->setText(texts.*(f.text));
        }
    });
}

void WatchDogPage::saveLog()
{
    ui::FileDialogRequest request;
    request.title = tr("Сохранить журнал сторожа");
    request.filter = tr("Журнал сторожа *.txt|*.txt");
    request.defaultSuffix = QStringLiteral("txt");
    const QString path = m_ctx.prompts.saveFileName(request);
    if (path.isEmpty())
        return;
    // The settings first: a log read later must say what the decisions were made with.
    const files::FileResult r =
        files::saveAtomically(path, settingsText().toUtf8() + '\n' + m_watchdog->log().text());
    if (!r.ok)
        m_ctx.prompts.message(tr("Журнал не сохранён: %1").arg(r.message()),
                              ui::Prompts::Kind::Warning);
}

} // namespace vardex::service
