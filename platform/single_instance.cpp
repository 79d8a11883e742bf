#include "platform/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <memory>

#include <unistd.h>

namespace kelmor::platform {

namespace {
// One line per request: come forward, then optionally which window to open.
const QByteArray ComeForwardMessage = QByteArrayLiteral("come-forward\n");
const QByteArray OpenWindowPrefix = QByteArrayLiteral("open ");
// A longer line is no request of ours: the connection's bytes are dropped.
constexpr qsizetype MaxLineLength = 64;

bool isWindowName(const QString &name)
{
    if (name.isEmpty() || name.size() > 32)
        return false;
    for (const QChar ch : name) {
        if (ch < u'a' || ch > u'z')
            return false;
    }
    return true;
}
} // namespace

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

bool SingleInstance::notifyRunningInstance(int timeoutMs, const QString &window)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message = ComeForwardMessage;
    if (isWindowName(window))
        message += OpenWindowPrefix + window.toLatin1() + '\n';
    socket.write(message);
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

SingleInstance::Role SingleInstance::claim(int timeoutMs, const QString &window)
{
    // Without the lock two starts could both find nobody and both listen.
    QLockFile lock(QDir(QDir::tempPath()).filePath(m_name + QStringLiteral(".lock")));
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(timeoutMs);
    if (notifyRunningInstance(timeoutMs, window))
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
        // The bytes of one connection, read line by line as they arrive.
        auto pending = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, pending] {
            *pending += socket->readAll();
            qsizetype end;
            while ((end = pending->indexOf('\n')) >= 0) {
                const QByteArray line = pending->left(end);
                pending->remove(0, end + 1);
                handleLine(line);
            }
            if (pending->size() > MaxLineLength)
                pending->clear();
        });
        if (socket->bytesAvailable() > 0)
            Q_EMIT socket->readyRead();
    }
}

void SingleInstance::handleLine(const QByteArray &line)
{
    if (line == ComeForwardMessage.trimmed()) {
        Q_EMIT activationRequested();
    } else if (line.startsWith(OpenWindowPrefix)) {
        const QString window = QString::fromLatin1(line.mid(OpenWindowPrefix.size()));
        if (isWindowName(window))
            Q_EMIT windowRequested(window);
    }
}

} // namespace kelmor::platform
