#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace kelmor::platform {

// One running instance per user and settings folder.
//
// The first instance listens on a local socket whose name comes from the user name and the
// settings folder ($XDG_CONFIG_HOME), so separate settings folders (tests) run side by side.
// A later start connects, asks the first to come forward and ends; it reads and writes no
// setting on the way.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    explicit SingleInstance(const QString &serverName, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket name for the current user and settings folder.
    static QString defaultServerName();

    // Tries to tell a running instance to come forward and, when window names one (a short
    // lower-case word such as "calendar"), to open that window too. True when one answered:
    // this process is the second instance and should end.
    bool notifyRunningInstance(int timeoutMs = 1000, const QString &window = {});

    // Becomes the running instance: listens for later starts. Removes a stale socket left by a
    // crashed instance. False when listening failed (the program then runs without the rule).
    bool listen();

    QString serverName() const { return m_name; }

    // The whole rule in one step, safe against two starts at the same moment: under a lock
    // file beside the socket, tell a running instance to come forward (Secondary: end now) or
    // start listening (Primary). Alone: neither worked; the program runs without the rule.
    enum class Role { Primary, Secondary, Alone };
    // window: passed on to the running instance as notifyRunningInstance does.
    Role claim(int timeoutMs = 3000, const QString &window = {});

Q_SIGNALS:
    // A later start asked this instance to come forward.
    void activationRequested();
    // A later start asked this instance to open a window (after coming forward).
    void windowRequested(const QString &window);

private:
    void onNewConnection();
    void handleLine(const QByteArray &line);

    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace kelmor::platform
