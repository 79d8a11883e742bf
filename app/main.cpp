// The windowed program, started by the `kelmor` command (app/launcher.cpp), which runs lookup and
// moon itself: the terminal commands that share the windows' code first (they need no display
// and skip the start-up procedure, so they also work while the program is open), then the
// start-up procedure.
#include "dream/dream_command.h"
#include "fulltext/find_command.h"
#include "journal/journal_command.h"
#include "shell/startup.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>

int main(int argc, char **argv)
{
    const QByteArray command = argc >= 2 ? QByteArray(argv[1]) : QByteArray();

    // "kelmor dream ...": the report of a whole dream read from standard input.
    if (command == "dream") {
        QCoreApplication app(argc, argv);
        return kelmor::dream::runDreamCommand(QCoreApplication::arguments().mid(2));
    }

    // "kelmor find ...": the articles whose text holds the words, in any form.
    if (command == "find") {
        QCoreApplication app(argc, argv);
        return kelmor::fulltext::runFindCommand(QCoreApplication::arguments().mid(2));
    }

    // "kelmor journal ...": the dream journal.
    if (command == "journal") {
        QCoreApplication app(argc, argv);
        return kelmor::journal::runJournalCommand(QCoreApplication::arguments().mid(2));
    }

    return kelmor::shell::runApplication(argc, argv);
}
