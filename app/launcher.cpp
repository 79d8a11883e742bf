// The `kelmor` command. The terminal commands that need no display (`lookup`, `moon`) run here on
// Qt Core alone, so that they start without loading the graphical libraries; everything else
// (the windows, and the commands that share their code) is the windowed program installed beside
// this command, which this process becomes: exec keeps the process id, the arguments and the
// name the user typed.
#include "calendar/moon_command.h"
#include "platform/program_path.h"
#include "viewer/lookup_command.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// This command's own file ("" when the system does not say).
std::string ownExecutable()
{
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || std::size_t(length) >= path.size())
        return {};
    path.resize(std::size_t(length));
    return path;
}

int runWindowedProgram(char **argv)
{
    const std::string self = ownExecutable();
    const QString program = kelmor::platform::windowedProgramPath(
        QFile::decodeName(self.c_str()), QStringLiteral(KELMOR_PROGRAM_RELATIVE_PATH));
    const QByteArray programFile = QFile::encodeName(program);
    if (!self.empty())
        ::setenv(kelmor::platform::LauncherVariable, self.c_str(), 1);
    ::execv(programFile.constData(), argv);
    const int error = errno;
    std::fprintf(stderr, "kelmor: не удалось запустить программу «%s»: %s\n",
                 programFile.constData(), std::strerror(error));
    return 127;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string_view command = argc >= 2 ? std::string_view(argv[1]) : std::string_view();

    // "kelmor lookup ...": the interpretation of a word. Without a QCoreApplication: the lookup
    // needs no event loop, plugins or application name, and making one costs more than reading
    // a book's answer.
    if (command == "lookup") {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        return kelmor::viewer::runLookupCommand(args);
    }
    // "kelmor moon ...": the lunar-day report.
    if (command == "moon") {
        QCoreApplication app(argc, argv);
        return kelmor::calendar::runMoonCommand(QCoreApplication::arguments().mid(2));
    }
    return runWindowedProgram(argv);
}
