// A listener on a port of 127.0.0.1 that plays an impostor: prints "listening" once it listens,
// "connected" for each connection it is offered and "received" for anything sent on one, so that
// a test can tell whether anything (the password) was sent to it. Usage: listenprobe PORT
#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, quint16(QByteArray(argv[1]).toUInt())))
        return 1;
    QTextStream out(stdout);
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* connection = server.nextPendingConnection()) {
            out << "connected" << Qt::endl;
            QObject::connect(connection, &QTcpSocket::readyRead, [&out, connection] {
                connection->readAll();
                out << "received" << Qt::endl;
            });
        }
    });
    out << "listening" << Qt::endl;
    return app.exec();
}
