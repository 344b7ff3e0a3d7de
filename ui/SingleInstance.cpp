#include "ui/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

#include <unistd.h>

namespace ui {

namespace {

constexpr char HandOverTaken = '\1';

} // namespace

QByteArray EncodeParamBlock(const QStringList& Params) {
    QByteArray block;
    for (const auto& param : Params) {
        block += param.toUtf8();
        block += '\0';
    }
    block += '\0';
    return block;
}

QStringList DecodeParamBlock(const QByteArray& Block, bool* Complete) {
    QStringList params;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = Block.indexOf('\0', start);
        if (end < 0) break;
        if (end == start) {
            if (Complete) *Complete = true;
            return params;
        }
        params << QString::fromUtf8(Block.mid(start, end - start));
        start = end + 1;
    }
    if (Complete) *Complete = false;
    return {};
}

QString SingleInstanceServerName(const QString& DataFolder, bool OwnDataFolder) {
    QString name = QStringLiteral("Harvexis.Application.4-%1").arg(::getuid());
    if (OwnDataFolder)
        name += '-' + QCryptographicHash::hash(DataFolder.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return name;
}

TSingleInstance::TSingleInstance(QString ServerName, QObject* Parent)
    : QObject(Parent), Name(std::move(ServerName)) {
    connect(&Server, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
}

bool TSingleInstance::SendParamsToRunningInstance(const QStringList& Params, int TimeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(Name);
    if (!socket.waitForConnected(TimeoutMs)) return false;
    socket.write(EncodeParamBlock(Params));
    if (!socket.waitForBytesWritten(TimeoutMs)) return false;
    // The running copy answers after it has processed the parameters.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(TimeoutMs)) return false;
    return socket.read(1) == QByteArray(1, HandOverTaken);
}

bool TSingleInstance::Listen() {
    // Asked first: listening with access options replaces an existing socket
    // file, which would take the name from a live copy.
    QLocalSocket probe;
    probe.connectToServer(Name);
    if (probe.waitForConnected(1000)) return false;
    // A socket file left by a copy that crashed answers nobody: take it over.
    QLocalServer::removeServer(Name);
    Server.setSocketOptions(QLocalServer::UserAccessOption);
    return Server.listen(Name);
}

void TSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = Server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            bool complete = false;
            const QStringList params = DecodeParamBlock(socket->peek(socket->bytesAvailable()), &complete);
            if (!complete) return;
            socket->readAll();
            // The answer goes first: the window may ask the user about the
            // parameters, and the second copy must not wait for that.
            socket->write(QByteArray(1, HandOverTaken));
            socket->flush();
            emit ParamsReceived(params);
        });
    }
}

} // namespace ui
