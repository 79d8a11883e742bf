// The built program as a process: one instance per settings folder, a second start leaves the
// settings alone and brings the first forward, and a termination request saves the state.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ProgramProcess : public ::testing::Test
{
protected:
    QTemporaryDir dir;

    QString configDir() const { return dir.filePath(QStringLiteral("config")); }
    QString settingsFile() const
    {
        return dir.filePath(QStringLiteral("config/ZEL_Programming.conf"));
    }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(configDir()));
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("run"))));
        QFile::setPermissions(dir.filePath(QStringLiteral("run")), QFileDevice::ReadOwner |
                                                                       QFileDevice::WriteOwner |
                                                                       QFileDevice::ExeOwner);
    }

    void start(QProcess &process, const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
        // The sample books of the build tree, so the load finds its data.
        env.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral(KELMOR_BUILD_SHARE));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kelmor.shell.info=true"));
        env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QStringLiteral(KELMOR_BINARY), arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    // Waits until the process has written text to stderr; returns everything read so far.
    static bool waitForLog(QProcess &process, QByteArray &log, const char *text, int ms = 15000)
    {
        return QTest::qWaitFor(
            [&] {
                process.waitForReadyRead(50);
                log += process.readAllStandardError();
                return log.contains(text);
            },
            ms);
    }

    QByteArray fileBytes() const
    {
        QFile f(settingsFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(ProgramProcess, SecondStartBringsTheFirstForwardAndTouchesNoSetting)
{
    // A damaged settings file: the first instance must still start, on defaults.
    {
        QFile f(settingsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Kelmor3]\nHeight=tall\nWidth=1e999\nTop=-5\nListMode=x\n\x01\x02\xff\n");
    }
    const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-3);
    {
        QFile f(settingsFile());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    const QByteArray before = fileBytes();

    QProcess first;
    start(first, {QStringLiteral("/tray")});
    QByteArray firstLog;
    ASSERT_TRUE(waitForLog(first, firstLog, "main window loaded")) << firstLog.constData();

    QProcess second;
    start(second, {});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    const QByteArray secondLog = second.readAllStandardError();
    EXPECT_TRUE(secondLog.contains("asked it to come forward")) << secondLog.constData();
    EXPECT_FALSE(secondLog.contains("main window loaded")) << secondLog.constData();

    // Out of the tray, or (where the desktop has no notification area and the tray start only
    // minimised the window) back from the task bar.
    EXPECT_TRUE(waitForLog(first, firstLog, "came forward")) << firstLog.constData();
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(QFileInfo(settingsFile()).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
    EXPECT_EQ(QDir(configDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("ZEL_Programming.conf")});

    // Asked to end (the session closing), the first instance saves through ExitApp.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    QSettings saved(settingsFile(), QSettings::IniFormat);
    bool ok = false;
    EXPECT_GE(saved.value(QStringLiteral("Kelmor3/Height")).toString().toDouble(&ok), 4000);
    EXPECT_TRUE(ok);
    EXPECT_GE(saved.value(QStringLiteral("Kelmor3/Top")).toString().toDouble(&ok), 1);
    EXPECT_TRUE(ok);
    // The unreadable ListMode started on the ordinary list.
    EXPECT_EQ(saved.value(QStringLiteral("Kelmor3/ListMode")).toString(), QStringLiteral("1"));
}

TEST_F(ProgramProcess, SeparateSettingsFoldersRunSideBySide)
{
    QProcess first;
    start(first, {QStringLiteral("/tray")});
    QByteArray firstLog;
    ASSERT_TRUE(waitForLog(first, firstLog, "main window loaded")) << firstLog.constData();

    QTemporaryDir other;
    QProcess second;
    QProcessEnvironment env = first.processEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), other.path());
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(KELMOR_BINARY), {QStringLiteral("/tray")});
    QByteArray secondLog;
    EXPECT_TRUE(waitForLog(second, secondLog, "main window loaded")) << secondLog.constData();

    for (QProcess *p : {&first, &second}) {
        p->terminate();
        EXPECT_TRUE(p->waitForFinished(15000));
    }
    // Each saved into its own folder only.
    EXPECT_TRUE(QFile::exists(settingsFile()));
    EXPECT_TRUE(QFile::exists(other.filePath(QStringLiteral("ZEL_Programming.conf"))));
}

TEST_F(ProgramProcess, TwoStartsAtOnceLeaveOneInstance)
{
    QProcess a, b;
    start(a, {QStringLiteral("/tray")});
    start(b, {QStringLiteral("/tray")});
    QByteArray logA, logB;
    // One of them ends at once; the other loads its window.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            a.waitForReadyRead(20);
            b.waitForReadyRead(20);
            logA += a.readAllStandardError();
            logB += b.readAllStandardError();
            return a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning;
        },
        15000));
    QProcess &ended = a.state() == QProcess::NotRunning ? a : b;
    QProcess &running = &ended == &a ? b : a;
    QByteArray &runningLog = &ended == &a ? logB : logA;
    EXPECT_EQ(ended.exitCode(), 0);
    EXPECT_TRUE(waitForLog(running, runningLog, "main window loaded")) << runningLog.constData();
    EXPECT_TRUE(waitForLog(running, runningLog, "asked to come forward")) << runningLog.constData();
    running.terminate();
    EXPECT_TRUE(running.waitForFinished(15000));
}
