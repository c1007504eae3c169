#include "cli/watch_wait.h"

#include "link/data_module.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace vardex::cli {

bool spinUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= ms)
            loop.quit();
    });
    if (done())
        return true;
    tick.start(10);
    loop.exec();
    return done();
}

bool runSequence(link::DataModule &dm, const std::function<void(link::OperationContext &)> &fn)
{
    auto state = std::make_shared<int>(0); // 0 waiting, 1 done, -1 given up
    dm.runOperation([state, fn](link::OperationContext &ctx) {
        if (*state != 0)
            return;
        fn(ctx);
        *state = 1;
    });
    if (spinUntil([&state] { return *state == 1; }, kSequenceBoundMs))
        return true;
    *state = -1;
    return false;
}

QString watchStamp(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString controllerText(const QString &serial, const QString &node)
{
    QString text =
        serial.isEmpty() ? QStringLiteral("S/N неизвестен") : QStringLiteral("S/N=%1").arg(serial);
    if (!node.isEmpty())
        text += QStringLiteral(", %1").arg(node);
    return text;
}

} // namespace vardex::cli
