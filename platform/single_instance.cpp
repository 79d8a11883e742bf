#include "platform/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

namespace kelmor::platform {

namespace {
const QByteArray ComeForwardMessage = QByteArrayLiteral("come-forward\n");
}

SingleInstance::SingleInstance(QObject *parent)
    : SingleInstance(defaultServerName(), parent)
{
}

SingleInstance::SingleInstance(const QString &serverName, QObject *parent)
    : QObject(parent)
    , m_name(serverName)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName()
{
    // The settings folder as the settings store resolves it, without touching any file.
    const QString configDir =
        QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    const QByteArray hash =
        QCryptographicHash::hash(configDir.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    // Socket paths are short on Linux (108 bytes); keep the name compact.
    return QStringLiteral("kelmor3-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::notifyRunningInstance(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(ComeForwardMessage);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    if (m_server)
        return true;
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_name)) {
        // A socket file left by an instance that did not end cleanly: nobody answers on it.
        if (server->serverError() == QAbstractSocket::AddressInUseError) {
            QLocalServer::removeServer(m_name);
            if (!server->listen(m_name)) {
                delete server;
                return false;
            }
        } else {
            delete server;
            return false;
        }
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

SingleInstance::Role SingleInstance::claim(int timeoutMs)
{
    // Without the lock two starts could both find nobody and both listen.
    QLockFile lock(QDir(QDir::tempPath()).filePath(m_name + QStringLiteral(".lock")));
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(timeoutMs);
    if (notifyRunningInstance(timeoutMs))
        return Role::Secondary;
    const bool listening = listen();
    if (locked)
        lock.unlock();
    return listening ? Role::Primary : Role::Alone;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QByteArray data = socket->readAll();
            if (data.contains(ComeForwardMessage.trimmed()))
                Q_EMIT activationRequested();
        });
        if (socket->bytesAvailable() > 0)
            Q_EMIT socket->readyRead();
    }
}

} // namespace kelmor::platform
