#pragma once

#include <QObject>

class QSocketNotifier;

namespace kelmor::platform {

// Turns SIGTERM, SIGINT and SIGHUP (the session ending, a terminal closing, `kill`) into a Qt
// signal on the event loop, so the program can end through its normal shutdown and save the
// user's state. One instance per process; the handlers are restored when it is destroyed.
class TerminationWatcher : public QObject
{
    Q_OBJECT
public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace kelmor::platform
