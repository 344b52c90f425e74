#include "SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace SingleInstance {

namespace {

// In the user's runtime folder (private to the user), else a name of the
// user's own in the temporary folder.
QString SocketName()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QStringLiteral("veldra-%1").arg(::getuid()) : runtime + "/veldra.socket";
}

// One line: "site", a tab and the site's path, or "address", a tab and the
// address; the answer "ok".
QByteArray Request(const CommandLine::TStart &start)
{
    return (start.Site.isEmpty() ? "address\t" + start.Address : "site\t" + start.Site).toUtf8() + '\n';
}

constexpr int WaitMs = 3000;
constexpr int MaxRequest = 64 * 1024;

}  // namespace

bool HandOver(const CommandLine::TStart &start)
{
    if (start.Site.isEmpty() && start.Address.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(SocketName());
    if (!socket.waitForConnected(WaitMs))
        return false;
    socket.write(Request(start));
    if (!socket.waitForBytesWritten(WaitMs))
        return false;
    while (!socket.canReadLine() && socket.waitForReadyRead(WaitMs)) {
    }
    return socket.readLine().trimmed() == "ok";
}

void Listen(QObject *parent, std::function<void(const CommandLine::TStart &start)> open)
{
    auto *server = new QLocalServer(parent);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = SocketName();
    if (!server->listen(name)) {
        // A socket no one answers on is a run that ended unclean.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(500)) {
            delete server;
            return;
        }
        QLocalServer::removeServer(name);
        if (!server->listen(name)) {
            delete server;
            return;
        }
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server, open = std::move(open)] {
        while (QLocalSocket *socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, open] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > MaxRequest)
                        socket->abort();
                    return;
                }
                const QString line = QString::fromUtf8(socket->readLine(MaxRequest)).trimmed();
                const qsizetype tab = line.indexOf('\t');
                CommandLine::TStart start;
                if (line.startsWith("site\t"))
                    start.Site = line.mid(tab + 1);
                else if (line.startsWith("address\t"))
                    start.Address = line.mid(tab + 1);
                socket->write(start.Site.isEmpty() && start.Address.isEmpty() ? "no\n" : "ok\n");
                socket->flush();
                socket->disconnectFromServer();
                if (!start.Site.isEmpty() || !start.Address.isEmpty())
                    open(start);
            });
        }
    });
}

}  // namespace SingleInstance
