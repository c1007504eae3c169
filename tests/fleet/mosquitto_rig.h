#pragma once

// A mosquitto broker of the test's own on 127.0.0.1, and mosquitto_sub as its client.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <string>

#include <gtest/gtest.h>

namespace vardex::test {

class MosquittoBroker {
public:
    // Bounds for the broker or a client to get somewhere; never what a check compares.
    static constexpr int kBoundMs = 30000;

    ~MosquittoBroker()
    {
        for (QProcess *p : {&m_listener, &m_broker})
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(kBoundMs);
            }
    }

    // Call with ASSERT_NO_FATAL_FAILURE: fails the test when the broker does not come up.
    void start()
    {
        {
            QTcpServer probe;
            ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(
            QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n")
                .arg(port)
                .toUtf8());
        conf.close();
        const QString mosquitto = QStandardPaths::findExecutable(
            QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        ASSERT_FALSE(mosquitto.isEmpty()) << "mosquitto is not installed (scripts/setup.sh)";
        m_broker.setProcessChannelMode(QProcess::MergedChannels);
        m_broker.start(mosquitto, {QStringLiteral("-c"), conf.fileName()});
        QElapsedTimer bound;
        bound.start();
        for (;;) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(1000))
                break;
            ASSERT_LT(bound.elapsed(), kBoundMs) << m_broker.readAll().toStdString();
            QThread::msleep(50);
        }
    }

    // The retained message of a topic (or the first new one) as its payload; empty when
    // none came within the bound.
    QByteArray retained(const QString &topic)
    {
        QProcess sub;
        sub.start(QStringLiteral("mosquitto_sub"),
                  {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                   QString::number(port), QStringLiteral("-t"), topic, QStringLiteral("-C"),
                   QStringLiteral("1"), QStringLiteral("-W"), QStringLiteral("30")});
        sub.waitForFinished(kBoundMs + 5000);
        return sub.readAllStandardOutput().trimmed();
    }

    // Starts listening on a filter for messages as "topic payload" lines, and returns once
    // the subscription stands (a probe message on the filter's own topic came back).
    void listen(const QString &filter, const QString &probeTopic)
    {
        m_listener.start(QStringLiteral("mosquitto_sub"),
                         {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                          QString::number(port), QStringLiteral("-t"), filter,
                          QStringLiteral("-v")});
        ASSERT_TRUE(m_listener.waitForStarted(kBoundMs));
        m_probe = probeTopic.toUtf8() + ' ';
        QElapsedTimer bound;
        bound.start();
        while (!m_heard.contains(m_probe)) {
            ASSERT_LT(bound.elapsed(), kBoundMs) << "subscription did not stand";
            QProcess::execute(QStringLiteral("mosquitto_pub"),
                              {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                               QStringLiteral("-p"), QString::number(port), QStringLiteral("-t"),
                               probeTopic, QStringLiteral("-m"), QStringLiteral("probe")});
            m_listener.waitForReadyRead(200);
            m_heard += m_listener.readAllStandardOutput();
        }
        m_heard.clear();
        m_pending.clear();
    }

    // Listens until a line equal to `line` came (true), or the bound passed.
    bool heardUntil(const QByteArray &line)
    {
        QElapsedTimer bound;
        bound.start();
        while (bound.elapsed() < kBoundMs) {
            if (m_heard.split('\n').contains(line))
                return true;
            m_listener.waitForReadyRead(100);
            m_pending += m_listener.readAllStandardOutput();
            // Whole lines only, and none of the probes (a late one may still come).
            for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0;) {
                const QByteArray whole = m_pending.left(end + 1);
                m_pending.remove(0, end + 1);
                if (!whole.startsWith(m_probe))
                    m_heard += whole;
            }
        }
        return false;
    }

    // Every line heard since the subscription stood, the probes left out.
    std::string heard() const { return m_heard.toStdString(); }

    quint16 port = 0;

private:
    QTemporaryDir m_dir;
    QProcess m_broker;
    QProcess m_listener;
    QByteArray m_heard;
    QByteArray m_pending;
    QByteArray m_probe;
};

} // namespace vardex::test
