#include "doctor/diagnosis.h"

namespace vardex::doctor {

namespace {

QString reloadCommand()
{
    return QStringLiteral("  sudo udevadm control --reload-rules && sudo udevadm trigger "
                          "--subsystem-match=hidraw");
}

QString ruleRemedy()
{
    return QStringLiteral(
               "Установите правило udev (оно в пакете vardex; при сборке из исходников — "
               "udev/%1) в /etc/udev/rules.d и перечитайте правила:\n"
               "  sudo cp udev/%1 /etc/udev/rules.d/\n")
               .arg(kRuleFileName) +
           reloadCommand();
}

QString userOrPlaceholder(const QString &user)
{
    return user.isEmpty() ? QStringLiteral("$USER") : user;
}

// The group-based rule: for logins without a seat (SSH), where uaccess gives nothing.
QString groupRemedy(const QString &user)
{
    return QStringLiteral("  sudo cp %1 /etc/udev/rules.d/\n"
                          "  sudo usermod -aG %2 %3\n")
               .arg(kGroupRuleShipped, kAccessGroup, userOrPlaceholder(user)) +
           reloadCommand() +
           QStringLiteral("\n(из исходников правило — udev/%1; после usermod войдите заново)")
               .arg(kGroupRuleFileName);
}

QString seatRemedy(const SystemState &s)
{
    const QString why =
        s.login.overSsh
            ? QStringLiteral("Вы вошли по SSH, а правило выдаёт доступ только пользователю за "
                             "локальным рабочим местом (ACL от systemd-logind). Для входа по SSH "
                             "дайте доступ группе %1:\n")
            : QStringLiteral("Правило выдаёт доступ только пользователю за локальным рабочим "
                             "местом (ACL от systemd-logind). Войдите в графический сеанс на этом "
                             "компьютере или, для входа по SSH, дайте доступ группе %1:\n");
    return why.arg(kAccessGroup) + groupRemedy(s.userName);
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

QString loginText(const Login &login)
{
    if (!login.overSsh)
        return QStringLiteral("локальный сеанс");
    return login.from.isEmpty() ? QStringLiteral("вход по SSH")
                                : QStringLiteral("вход по SSH с %1").arg(login.from);
}

// The controller's node: one this user can open wins over one it cannot.
const HidNode *findController(const SystemState &s)
{
    const HidNode *controller = nullptr;
    for (const HidNode &n : s.nodes) {
        if (n.product == kProduct && (!controller || (n.readWrite && !controller->readWrite)))
            controller = &n;
    }
    return controller;
}

} // namespace

Diagnosis diagnose(const SystemState &s)
{
    Diagnosis d;
    auto add = [&d](QString what, bool ok, QString detail, QString todo = {}) {
        d.checks.append({std::move(what), ok, std::move(detail), ok ? QString() : std::move(todo)});
    };

    if (s.link.simulated) {
        add(QStringLiteral("Контроллер"), s.link.connected,
            s.link.connected
                ? QStringLiteral("симулированный (демо, %1), подключен").arg(s.link.device)
                : QStringLiteral("симулированный (демо), ещё не подключен"),
            QStringLiteral("Подождите: демо подключает свой контроллер через мгновение после "
                           "запуска."));
    }
    add(QStringLiteral("Библиотека hidapi"), s.hidapiAvailable,
        s.hidapiAvailable ? QStringLiteral("работает") : QStringLiteral("не инициализируется"),
        QStringLiteral("sudo apt-get install libhidapi-hidraw0"));
    add(QStringLiteral("udev"), s.udevAvailable,
        s.udevAvailable ? QStringLiteral("доступен") : QStringLiteral("недоступен"),
        QStringLiteral("sudo apt-get install libudev1 udev"));

    QStringList seen;
    for (const HidNode &n : s.nodes)
        seen << QStringLiteral("%1 «%2»").arg(n.path, n.product);
    const HidNode *controller = findController(s);
    add(QStringLiteral("Устройства HID"), controller != nullptr,
        seen.isEmpty() ? QStringLiteral("не найдены") : seen.join(QStringLiteral(", ")),
        QStringLiteral("Подключите контроллер кабелем USB; устройство «Quellbox» должно "
                       "появиться как /dev/hidraw*"));

    const bool ruleInstalled = !s.rulesFound.isEmpty();
    if (controller) {
        d.node = controller->path;
        add(QStringLiteral("Узел контроллера"), controller->readWrite,
            QStringLiteral("%1, %2").arg(controller->path, modeText(*controller)));
        // What to do about the node is the verdict's remedy, given once below.
    }
    // A login over SSH has no seat, so the seat's ACL never reaches it.
    const bool sshWithoutAccess = s.login.overSsh && controller && !controller->readWrite;
    add(QStringLiteral("Вход в систему"), !sshWithoutAccess, loginText(s.login),
        QStringLiteral("Доступ по правилу uaccess получает только сеанс за этим компьютером; "
                       "для входа по SSH нужно правило для группы (итог ниже)."));
    add(QStringLiteral("Правило udev"), ruleInstalled,
        ruleInstalled ? s.rulesFound.join(QStringLiteral(", "))
                      : QStringLiteral("нет ни в одной из папок %1")
                            .arg(kRuleFolders.join(QStringLiteral(", "))),
        ruleRemedy());
    add(QStringLiteral("Монитор udev"), s.monitorWorks,
        s.monitorWorks ? QStringLiteral("получает события подключения")
                       : QStringLiteral("не запускается: подключение заметно только при старте"),
        QStringLiteral("Проверьте, что служба systemd-udevd работает"));

    if (!s.ownerLockDir.isEmpty() || !s.owners.isEmpty()) {
        add(QStringLiteral("Владелец контроллера"), s.owners.isEmpty() || s.link.connected,
            s.owners.isEmpty()
                ? QStringLiteral("никто не держит (блокировки в %1)").arg(s.ownerLockDir)
                : QStringLiteral("держит %1").arg(s.owners.join(QStringLiteral(", "))),
            QStringLiteral("Закройте эту программу или остановите её службу; у сторожа "
                           "(vardex-cli watch) окно берёт контроллер кнопкой «Взять у сторожа»."));
    }

    if (s.link.simulated) {
        d.verdict = Verdict::Simulated;
        d.node = s.link.device;
        d.reason = s.link.connected
                       ? QStringLiteral("контроллер симулирован (демо) и подключен")
                       : QStringLiteral("контроллер симулирован (демо) и ещё не подключен");
        d.remedy = QStringLiteral("Настоящие устройства демо не нужны; проверки выше относятся "
                                  "к доступу этого компьютера к настоящему контроллеру.");
    } else if (s.link.connected) {
        d.verdict = Verdict::Ok;
        d.node = s.link.device;
    } else if (!s.hidapiAvailable) {
        d.verdict = Verdict::NoHidapi;
        d.reason = QStringLiteral("библиотека hidapi недоступна");
        d.remedy = QStringLiteral("sudo apt-get install libhidapi-hidraw0");
    } else if (!controller) {
        d.verdict = Verdict::NoDevice;
        d.reason = QStringLiteral("контроллер не подключён");
        d.remedy = QStringLiteral("Подключите контроллер кабелем USB.");
    } else if (!s.owners.isEmpty() && !s.link.openError.isEmpty()) {
        d.verdict = Verdict::Busy;
        d.reason = QStringLiteral("контроллер занят: его держит %1")
                       .arg(s.owners.join(QStringLiteral(", ")));
        d.remedy = QStringLiteral("Закройте эту программу или остановите её службу; сторож "
                                  "(vardex-cli watch) отдаёт контроллер на время.");
    } else if (!controller->holders.isEmpty() &&
               (!controller->readWrite || !s.link.openError.isEmpty())) {
        d.verdict = Verdict::Busy;
        d.reason = QStringLiteral("устройство занято другой программой");
        d.remedy = QStringLiteral("Закройте программу, которая держит %1: %2.")
                       .arg(controller->path, controller->holders.join(QStringLiteral(", ")));
    } else if (controller->readWrite) {
        d.verdict = Verdict::Ok;
    } else if (!ruleInstalled) {
        d.verdict = Verdict::NoRule;
        d.reason = QStringLiteral("правило udev не установлено (%1 открывается только root)")
                       .arg(controller->path);
        d.remedy = ruleRemedy();
    } else if (controller->group == kAccessGroup && !s.userInGroupOfNode) {
        d.verdict = Verdict::NoAccess;
        d.reason = QStringLiteral("пользователь %1 не в группе %2, которой открыт %3")
                       .arg(s.userName, kAccessGroup, controller->path);
        d.remedy = QStringLiteral("  sudo usermod -aG %1 %2\n(затем войдите заново)")
                       .arg(kAccessGroup, userOrPlaceholder(s.userName));
    } else if (!controller->aclUsers.contains(s.userName) && !s.userInGroupOfNode) {
        d.verdict = Verdict::NoSeat;
        d.reason = s.login.overSsh
                       ? QStringLiteral("%1: правило udev даёт доступ только сеансу за этим "
                                        "компьютером, не входу по SSH (нет ACL на %2)")
                             .arg(loginText(s.login), controller->path)
                       : QStringLiteral("правило установлено, но пользователь %1 не за локальным "
                                        "рабочим местом (нет ACL на %2)")
                             .arg(s.userName, controller->path);
        d.remedy = seatRemedy(s);
    } else {
        d.verdict = Verdict::NoAccess;
        d.reason = QStringLiteral("%1 не открывается для чтения и записи (%2)")
                       .arg(controller->path, modeText(*controller));
        d.remedy = QStringLiteral("Проверьте права узла: нужны чтение и запись для группы "
                                  "или ACL пользователя; затем переподключите контроллер.");
    }
    return d;
}

bool usable(const Diagnosis &d)
{
    return d.verdict == Verdict::Ok || d.verdict == Verdict::Simulated;
}

QString statusText(const Diagnosis &d)
{
    if (usable(d) || d.verdict == Verdict::NoDevice)
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

Login loginFromEnvironment(const QString &sshConnection, const QString &sshClient,
                           const QString &sshTty)
{
    Login login;
    const QString words = !sshConnection.trimmed().isEmpty() ? sshConnection : sshClient;
    const QStringList parts = words.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    login.overSsh = !parts.isEmpty() || !sshTty.trimmed().isEmpty();
    if (!parts.isEmpty())
        login.from = parts.first();
    return login;
}

} // namespace vardex::doctor
