#pragma once

#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/types.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A rig control server on 127.0.0.1 that answers as it is told, for what a
// real one will not show: a refusal, no answer, a connection it drops, a slow
// radio, a server stopped and carrying out late every line it has read. It
// holds a frequency as a radio does: "F" sets it (when answered RPRT 0), "f"
// reads it.
class FakeRigctld {
public:
    enum class Answer { Sent, Refused, Nothing, HangsUp, Garbage, AlmostSent, Endless };

    FakeRigctld() {
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* client = server.nextPendingConnection()) {
                ++connections;
                QObject::connect(client, &QTcpSocket::readyRead, client, [this, client] { serve(*client); });
                QObject::connect(client, &QTcpSocket::disconnected, client, [this, client] {
                    ++disconnections;
                    client->deleteLater();
                });
            }
        });
    }
    // Listens on `port`, or on a free one; the port.
    quint16 listen(quint16 port = 0) {
        server.listen(QHostAddress::LocalHost, port);
        return server.serverPort();
    }
    // Carries out every line held while stalled, as a server does once it
    // runs again, a thread per connection: the worst order, the lines of
    // connections still open first, then those of closed ones, the oldest last.
    void resume() {
        stalled = false;
        const std::vector<Held> held = std::exchange(held_, {});
        for (const Held& line : held) {
            if (line.client) {
                carryOut(line.client, line.text);
            }
        }
        for (auto line = held.rbegin(); line != held.rend(); ++line) {
            if (!line->client) {
                carryOut(nullptr, line->text);
            }
        }
    }

    Answer answer = Answer::Sent;
    bool stalled = false;                  // reads every line, and holds it until resume()
    std::chrono::milliseconds setTakes{};  // each line, one after another, as a slow radio takes it
    std::int64_t knob = 0;                 // where the operator turns the radio after each set
    std::int64_t frequency = 0;            // what the radio holds
    bool readable = true;                  // "f" is refused as not available otherwise
    std::vector<std::string> lines;
    int connections = 0;
    int disconnections = 0;
    QTcpServer server;

private:
    struct Held {
        QPointer<QTcpSocket> client;
        std::string text;
    };

    void serve(QTcpSocket& client) {
        while (client.canReadLine()) {
            const std::string line = client.readLine().trimmed().toStdString();
            lines.push_back(line);
            if (stalled) {
                held_.push_back({&client, line});
            } else if (setTakes.count() > 0) {
                const auto now = std::chrono::steady_clock::now();
                busyUntil_ = std::max(now, busyUntil_) + setTakes;
                QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(busyUntil_ - now), &server,
                                   [this, client = QPointer(&client), line] { carryOut(client, line); });
            } else if (answer == Answer::HangsUp) {
                client.disconnectFromHost();
                return;
            } else {
                carryOut(&client, line);
            }
        }
    }
    // Carries out `line`, answering on `client` if it is still open.
    void carryOut(QTcpSocket* client, const std::string& line) {
        if (line.starts_with("F ") && answer == Answer::Sent) {
            frequency = knob ? knob : std::stoll(line.substr(2));
        }
        if (!client) {
            return;
        }
        if (line == "f" && answer == Answer::Sent) {
            client->write(readable ? QByteArray::number(static_cast<qlonglong>(frequency)) + '\n' : "RPRT -11\n");
            return;
        }
        switch (answer) {
        case Answer::Sent: client->write("RPRT 0\n"); break;
        case Answer::Refused: client->write("RPRT -1\n"); break;
        case Answer::Nothing:
        case Answer::HangsUp: break;
        case Answer::Garbage: client->write("hello\n"); break;
        case Answer::AlmostSent: client->write("RPRT 0x\n"); break;
        case Answer::Endless: client->write(QByteArray(4096, 'x')); break;
        }
    }

    std::vector<Held> held_;
    std::chrono::steady_clock::time_point busyUntil_;
};

// Hamlib's own server with its dummy radio on a free loopback port, where it
// is installed; it can be stopped and resumed as a busy machine stops it.
class RealRigctld {
public:
    static bool installed() {
        return !QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty() &&
               !QStandardPaths::findExecutable(QStringLiteral("rigctl")).isEmpty();
    }
    RealRigctld() {
        FakeRigctld free;
        port = free.listen();
        free.server.close();
        server.start(QStringLiteral("rigctld"), {"-m", "1", "-T", "127.0.0.1", "-t", QString::number(port)});
        server.waitForStarted();
    }
    ~RealRigctld() {
        resume();
        server.terminate();
        if (!server.waitForFinished(5000)) {
            server.kill();
            server.waitForFinished(5000);
        }
    }
    RealRigctld(const RealRigctld&) = delete;
    RealRigctld& operator=(const RealRigctld&) = delete;

    void stop() const { ::kill(static_cast<pid_t>(server.processId()), SIGSTOP); }
    void resume() const { ::kill(static_cast<pid_t>(server.processId()), SIGCONT); }
    // What the radio holds, as rigctl reads it.
    QByteArray frequency() const {
        QProcess query;
        query.start(QStringLiteral("rigctl"), {"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(port), "f"});
        query.waitForFinished(10000);
        // Newer rigctl prints its version first: the frequency is the last line.
        return query.readAllStandardOutput().trimmed().split('\n').last().trimmed();
    }

    quint16 port = 0;
    QProcess server;
};
