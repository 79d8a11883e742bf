// `kelmor dream`, run as a process on the bundled sample books.
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
    QString err;
};

Result run(const QStringList &args, const QByteArray &input)
{
    static QTemporaryDir config;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_DIRS", KELMOR_BUILD_SHARE);
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("TZ", "Europe/Moscow");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    process.start(KELMOR_EXECUTABLE, QStringList{"dream"} + args);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

const QByteArray kDream = "Мне снилось, что я плыву по реке, а на берегу сидят собаки и змеи.\n";

TEST(DreamCommand, ListsTheSymbolsWithTheCalendarAndTheirInterpretations)
{
    const Result r = run({"--at", "2024-04-09 07:30:00"}, kDream);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Весь сон\n\nМне снилось, что я плыву по реке, а на берегу сидят "
                                 "собаки и змеи.\n\nСимволы сна: Река, Берег, Собака, Змея\n\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\nДень недели: Вторник\n"));
    EXPECT_TRUE(r.out.contains("\nЛунный день: 2 (09 апр. 2024 05:47 - 10 апр. 2024 05:56)\n"
                               "Сны сбываются.\n"));
    // Each symbol's section, in order, with every sample book's heading.
    const qsizetype river = r.out.indexOf("\n Река\n\n Лунное толкование:\nРека – ");
    const qsizetype dog = r.out.indexOf("\n Собака\n\n Лунное толкование:\n");
    const qsizetype snake = r.out.indexOf("\n Змея\n\n Лунное толкование:\n");
    EXPECT_TRUE(river > 0 && dog > river && snake > dog) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains('\x1b')) << "no colours when not a terminal";
}

TEST(DreamCommand, RawPrintsTheDocumentAsAssembled)
{
    const Result r = run({"--raw", "--at=2024-04-09 07:30:00"}, "Змеи.");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(" Весь сон\r\n\r\nЗмеи.\r\n\r\nСимволы сна: Змея\r\n"));
    EXPECT_TRUE(r.out.contains("\r\n Змея\r\n\r\n& Лунное толкование:§\r\n"));
}

TEST(DreamCommand, ExitCodes)
{
    const struct
    {
        QStringList args;
        QByteArray input;
        int exitCode;
        const char *message;
    } cases[] = {
        {{},
         "Я видел шмяка и бзыря.",
         1,
         "kelmor dream: в тексте сна не найдено ни одного символа из включённых сонников\n"},
        {{}, " \n\t", 2, "kelmor dream: текст сна пуст"},
        {{"--at", "2024-02-30 07:00:00"}, kDream, 2, "kelmor dream: неверный момент"},
        {{"--at"}, kDream, 2, "kelmor dream: после --at нужно значение"},
        {{"--json"}, kDream, 2, "kelmor dream: неизвестный параметр \"--json\""},
        {{}, QByteArray(1024 * 1024 + 1, 'a'), 2, "kelmor dream: текст сна слишком длинный"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Result r = run(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(QString::fromUtf8(c.message))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(run({"--help"}, {}).exitCode, 0);
}

} // namespace
