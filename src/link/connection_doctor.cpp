#include "link/connection_doctor.h"

#include <cerrno>

namespace vardex::link::doctor {

namespace {

const QString kProduct = QStringLiteral("Quellbox");

QString ruleRemedy()
{
    return QStringLiteral(
               "Установите правило udev (оно в пакете vardex; при сборке из исходников — "
               "udev/%1) в /etc/udev/rules.d и перечитайте правила:\n"
               "  sudo cp udev/%1 /etc/udev/rules.d/\n"
               "  sudo udevadm control --reload-rules && sudo udevadm trigger "
               "--subsystem-match=hidraw")
        .arg(kRuleFileName);
}

QString seatRemedy(const QString &user)
{
    return QStringLiteral(
               "Правило выдаёт доступ только пользователю за локальным рабочим местом "
               "(ACL от systemd-logind). Войдите в графический сеанс на этом компьютере или, "
               "для входа по SSH, дайте доступ группе:\n"
               "  echo 'SUBSYSTEM==\"hidraw\", ATTRS{product}==\"Quellbox\", GROUP=\"plugdev\", "
               "MODE=\"0660\"' | sudo tee /etc/udev/rules.d/71-quellbox-group.rules\n"
               "  sudo usermod -aG plugdev %1 && sudo udevadm control --reload-rules && sudo "
               "udevadm trigger --subsystem-match=hidraw\n"
               "  (затем войдите заново)")
        .arg(user.isEmpty() ? QStringLiteral("$USER") : user);
}

QString modeText(const HidNode &n)
{
    return QStringLiteral("%1 %2:%3 %4")
        .arg(n.mode, 4, 8, QLatin1Char('0'))
        .arg(n.owner, n.group,
             n.aclUsers.isEmpty()
                 ? QStringLiteral("без ACL")
                 : QStringLiteral("ACL: ") + n.aclUsers.join(QStringLiteral(", ")));
}

} // namespace

Diagnosis diagnose(const SystemState &s)
{
    Diagnosis d;
    auto add = [&d](QString what, bool ok, QString detail, QString todo = {}) {
        d.checks.append({std::move(what), ok, std::move(detail), ok ? QString() : std::move(todo)});
    };

    add(QStringLiteral("Библиотека hidapi"), s.hidapiAvailable,
        s.hidapiAvailable ? QStringLiteral("работает") : QStringLiteral("не инициализируется"),
        QStringLiteral("sudo apt-get install libhidapi-hidraw0"));
    add(QStringLiteral("udev"), s.udevAvailable,
        s.udevAvailable ? QStringLiteral("доступен") : QStringLiteral("недоступен"),
        QStringLiteral("sudo apt-get install libudev1 udev"));

    QStringList seen;
    const HidNode *controller = nullptr;
    for (const HidNode &n : s.nodes) {
        seen << QStringLiteral("%1 «%2»").arg(n.path, n.product);
        if (n.product == kProduct && (!controller || (n.canOpen && !controller->canOpen)))
            controller = &n;
    }
    add(QStringLiteral("Устройства HID"), controller != nullptr,
        seen.isEmpty() ? QStringLiteral("не найдены") : seen.join(QStringLiteral(", ")),
        QStringLiteral("Подключите контроллер кабелем USB; устройство «Quellbox» должно "
                       "появиться как /dev/hidraw*"));

    const bool ruleInstalled = !s.rulesFound.isEmpty();
    if (controller) {
        d.node = controller->path;
        add(QStringLiteral("Узел контроллера"), controller->canOpen,
            QStringLiteral("%1, %2").arg(controller->path, modeText(*controller)));
        // What to do about the node is the verdict's remedy, given once below.
    }
    add(QStringLiteral("Правило udev"), ruleInstalled,
        ruleInstalled ? s.rulesFound.join(QStringLiteral(", "))
                      : QStringLiteral("нет ни в одной из папок %1")
                            .arg(kRuleFolders.join(QStringLiteral(", "))),
        ruleRemedy());
    add(QStringLiteral("Монитор udev"), s.monitorWorks,
        s.monitorWorks ? QStringLiteral("получает события подключения")
                       : QStringLiteral("не запускается: подключение заметно только при старте"),
        QStringLiteral("Проверьте, что служба systemd-udevd работает"));

    if (!s.hidapiAvailable) {
        d.verdict = Verdict::NoHidapi;
        d.reason = QStringLiteral("библиотека hidapi недоступна");
        d.remedy = QStringLiteral("sudo apt-get install libhidapi-hidraw0");
    } else if (!controller) {
        d.verdict = Verdict::NoDevice;
        d.reason = QStringLiteral("контроллер не подключён");
        d.remedy = QStringLiteral("Подключите контроллер кабелем USB.");
    } else if (controller->openErrno == EBUSY ||
               (!controller->holders.isEmpty() && !controller->canOpen)) {
        d.verdict = Verdict::Busy;
        d.reason = QStringLiteral("устройство занято другой программой");
        d.remedy =
            controller->holders.isEmpty()
                ? QStringLiteral("Закройте другую программу, открывшую %1.").arg(controller->path)
                : QStringLiteral("Закройте программу, которая держит %1: %2.")
                      .arg(controller->path, controller->holders.join(QStringLiteral(", ")));
    } else if (controller->canOpen) {
        d.verdict = Verdict::Ok;
    } else if (!ruleInstalled) {
        d.verdict = Verdict::NoRule;
        d.reason = QStringLiteral("правило udev не установлено (%1 открывается только root)")
                       .arg(controller->path);
        d.remedy = ruleRemedy();
    } else if (!controller->aclUsers.contains(s.userName) && !s.userInGroupOfNode) {
        d.verdict = Verdict::NoSeat;
        d.reason = QStringLiteral("правило установлено, но пользователь %1 не за локальным "
                                  "рабочим местом (нет ACL на %2)")
                       .arg(s.userName, controller->path);
        d.remedy = seatRemedy(s.userName);
    } else {
        d.verdict = Verdict::NoAccess;
        d.reason = QStringLiteral("%1 не открывается для чтения и записи (%2)")
                       .arg(controller->path, modeText(*controller));
        d.remedy = QStringLiteral("Проверьте права узла: нужны чтение и запись для группы "
                                  "или ACL пользователя; затем переподключите контроллер.");
    }
    return d;
}

QString statusText(const Diagnosis &d)
{
    if (d.verdict == Verdict::Ok || d.verdict == Verdict::NoDevice)
        return {};
    return QStringLiteral("Нет доступа к контроллеру: %1").arg(d.reason);
}

QString reportText(const Diagnosis &d)
{
    QString text;
    for (const Check &c : d.checks) {
        text += QStringLiteral("[%1] %2: %3\n")
                    .arg(c.ok ? QStringLiteral(" ok ") : QStringLiteral("нет "), c.what, c.detail);
        if (!c.ok && !c.todo.isEmpty())
            text += QStringLiteral("       → ") +
                    QString(c.todo).replace(QLatin1Char('\n'), QStringLiteral("\n         ")) +
                    QLatin1Char('\n');
    }
    if (d.verdict == Verdict::Ok)
        text += QStringLiteral("\nИтог: контроллер %1 доступен.\n").arg(d.node);
    else
        text += QStringLiteral("\nИтог: %1\n%2\n").arg(d.reason, d.remedy);
    return text;
}

QList<unsigned> aclUserIds(const QByteArray &xattr)
{
    constexpr int kHeader = 4;
    constexpr int kEntry = 8;
    constexpr unsigned kVersion = 2;
    constexpr unsigned kTagUser = 0x02;
    QList<unsigned> ids;
    if (xattr.size() < kHeader || (xattr.size() - kHeader) % kEntry != 0)
        return ids;
    auto u = [&xattr](int at, int bytes) {
        unsigned v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(xattr[at + i]);
        return v;
    };
    if (u(0, 4) != kVersion)
        return ids;
    for (int at = kHeader; at + kEntry <= xattr.size(); at += kEntry) {
        const unsigned tag = u(at, 2);
        const unsigned perm = u(at + 2, 2);
        // The controller needs read and write.
        if (tag == kTagUser && (perm & 6) == 6)
            ids.append(u(at + 4, 4));
    }
    return ids;
}

bool ruleTakesController(const QByteArray &text)
{
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('#'))
            continue;
        if (line.contains("\"Quellbox\"") && line.contains("hidraw"))
            return true;
    }
    return false;
}

} // namespace vardex::link::doctor
