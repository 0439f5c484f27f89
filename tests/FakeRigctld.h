#pragma once

#include <QTcpServer>
#include <QTcpSocket>

#include <string>
#include <vector>

// A rig control server on 127.0.0.1 that answers as it is told, for what a
// real one will not show: a refusal, no answer, a connection it drops.
class FakeRigctld {
public:
    enum class Answer { Sent, Refused, Nothing, HangsUp, Garbage, AlmostSent };

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

    Answer answer = Answer::Sent;
    std::vector<std::string> lines;
    int connections = 0;
    int disconnections = 0;
    QTcpServer server;

private:
    void serve(QTcpSocket& client) {
        while (client.canReadLine()) {
            lines.push_back(client.readLine().trimmed().toStdString());
            switch (answer) {
            case Answer::Sent: client.write("RPRT 0\n"); break;
            case Answer::Refused: client.write("RPRT -1\n"); break;
            case Answer::Nothing: break;
            case Answer::Garbage: client.write("hello\n"); break;
            case Answer::AlmostSent: client.write("RPRT 0x\n"); break;
            case Answer::HangsUp: client.disconnectFromHost(); return;
            }
        }
    }
};
