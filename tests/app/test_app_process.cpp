// The built program as a process: one instance per settings folder, a second start leaves the
// settings alone and brings the first forward (opening the window it asks for), and a
// termination request ends it through its exit, also while a box is open.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

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

    // dataDirs: the XDG_DATA_DIRS of the process; by default the sample books of the build tree.
    void start(QProcess &process, const QStringList &arguments,
               const QString &dataDirs = QStringLiteral(KELMOR_BUILD_SHARE))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), dataDirs);
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

    // A data folder under the scratch folder whose books folder holds the given files.
    QString dataFolder(const QString &name, const QStringList &books = {}) const
    {
        const QString root = dir.filePath(name);
        const QString folder = root + QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/Books");
        EXPECT_TRUE(QDir().mkpath(folder));
        for (const QString &book : books)
            EXPECT_TRUE(QFile::copy(book, folder + u'/' + QFileInfo(book).fileName()));
        return root;
    }

    // A settings file with an old time stamp, to tell whether anything wrote it.
    void writeOldSettings(const QByteArray &content) const
    {
        QFile f(settingsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTimeUtc().addDays(-3),
                                  QFileDevice::FileModificationTime));
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

TEST_F(ProgramProcess, MenuEntryActionsOpenTheirWindowHereOrInTheRunningInstance)
{
    // The first start opens the window it asks for after loading.
    QProcess first;
    start(first, {QStringLiteral("/dream")});
    QByteArray firstLog;
    ASSERT_TRUE(waitForLog(first, firstLog, "window requested: dream")) << firstLog.constData();

    // A later start passes its window on to the running instance, which comes forward first.
    QProcess second;
    start(second, {QStringLiteral("/CALENDAR")});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(waitForLog(first, firstLog, "window requested: calendar")) << firstLog.constData();
    const qsizetype forward = firstLog.indexOf("came forward");
    EXPECT_GE(forward, 0);
    EXPECT_LT(forward, firstLog.indexOf("window requested: calendar"));

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitCode(), 0);
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

TEST_F(ProgramProcess, TerminationDuringTheFatalStartMessageEndsWithoutSaving)
{
    // No books: the load shows its fatal message and waits for "OK", which nobody presses.
    const QString data = dataFolder(QStringLiteral("empty"));
    const QByteArray settings = "[Kelmor3]\nHeight=7000\nLastWord=x\n";
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        writeOldSettings(settings);
        const qint64 stamp = QFileInfo(settingsFile()).lastModified().toSecsSinceEpoch();
        QProcess program;
        start(program, {}, data);
        QByteArray log;
        ASSERT_TRUE(waitForLog(program, log, "dialog shown:")) << log.constData();
        EXPECT_TRUE(log.contains("не найдено ни одного сонника")) << log.constData();
        ASSERT_EQ(::kill(pid_t(program.processId()), signalNumber), 0);
        EXPECT_TRUE(program.waitForFinished(5000)) << "still running with the message open";
        log += program.readAllStandardError();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_TRUE(log.contains("exit without saving")) << log.constData();
        EXPECT_EQ(fileBytes(), settings);
        EXPECT_EQ(QFileInfo(settingsFile()).lastModified().toSecsSinceEpoch(), stamp);
    }
}

TEST_F(ProgramProcess, TerminationWhileABoxIsOpenInNormalRunningSaves)
{
    // The sample books and a damaged one: after the window shows, a box names the damaged book.
    const QString samples = QStringLiteral(KELMOR_BUILD_SHARE) +
                            QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/Books");
    QStringList books;
    for (const QString &name : QDir(samples).entryList({QStringLiteral("*.book")}))
        books << samples + u'/' + name;
    ASSERT_FALSE(books.isEmpty());
    const QString data = dataFolder(QStringLiteral("damaged"), books);
    {
        QFile sample(books.first());
        ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
        QFile damaged(data + QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/Books/damaged.book"));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(sample.read(8192));
    }
    writeOldSettings("[Kelmor3]\nLastWord=x\n");
    QProcess program;
    start(program, {}, data);
    QByteArray log;
    ASSERT_TRUE(waitForLog(program, log, "dialog shown:")) << log.constData();
    EXPECT_TRUE(log.contains("damaged.book")) << log.constData();
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000)) << "still running with the box open";
    log += program.readAllStandardError();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(log.contains("exit with saving")) << log.constData();
    QSettings saved(settingsFile(), QSettings::IniFormat);
    EXPECT_TRUE(saved.contains(QStringLiteral("Kelmor3/Height")));
    EXPECT_EQ(saved.value(QStringLiteral("Kelmor3/ListMode")).toString(), QStringLiteral("1"));
}

// The `kelmor` command runs lookup and moon on Qt Core alone and becomes the windowed program
// for everything else: the same process, told the command's path for the autostart entry.
TEST_F(ProgramProcess, CommandBecomesTheWindowedProgramBesideIt)
{
    const QString command = QFileInfo(QStringLiteral(KELMOR_BINARY)).canonicalFilePath();

    // No graphical library is loaded for the terminal commands.
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {command});
    ASSERT_TRUE(ldd.waitForFinished(10000));
    const QByteArray libraries = ldd.readAllStandardOutput();
    EXPECT_TRUE(libraries.contains("libQt6Core")) << libraries.constData();
    for (const char *graphical : {"libQt6Gui", "libQt6Widgets", "libGL", "libxcb", "libfontconfig"})
        EXPECT_FALSE(libraries.contains(graphical)) << graphical << "\n" << libraries.constData();

    // The window: the process the test started runs the program, with the command's path.
    QProcess program;
    start(program, {QStringLiteral("/tray")});
    QByteArray log;
    ASSERT_TRUE(waitForLog(program, log, "main window loaded")) << log.constData();
    const QString pid = QString::number(program.processId());
    const QString exe =
        QFileInfo(QStringLiteral("/proc/") + pid + QStringLiteral("/exe")).symLinkTarget();
    EXPECT_TRUE(exe.endsWith(QStringLiteral("/libexec/kelmor/kelmor"))) << exe.toStdString();
    QFile environment(QStringLiteral("/proc/") + pid + QStringLiteral("/environ"));
    ASSERT_TRUE(environment.open(QIODevice::ReadOnly));
    EXPECT_TRUE(environment.readAll().split('\0').contains("KELMOR_LAUNCHER=" + command.toUtf8()));
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));

    // A command whose program is missing says which file it could not start.
    const QString lone = dir.filePath(QStringLiteral("lone/bin/kelmor"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(lone).absolutePath()));
    ASSERT_TRUE(QFile::copy(command, lone));
    QProcess missing;
    missing.start(lone, {QStringLiteral("/tray")});
    ASSERT_TRUE(missing.waitForFinished(10000));
    EXPECT_EQ(missing.exitCode(), 127);
    const QString error = QString::fromUtf8(missing.readAllStandardError());
    EXPECT_TRUE(error.contains(QStringLiteral("не удалось запустить программу «") +
                               dir.filePath(QStringLiteral("lone/libexec/kelmor/kelmor"))))
        << error.toStdString();
}
