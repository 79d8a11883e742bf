// Entry point: command-line subcommands first (they need no display), then the start-up procedure.
#include "calendar/moon_command.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    if (argc >= 2 && QByteArray(argv[1]) == "moon") {
        QCoreApplication app(argc, argv);
        QStringList args = QCoreApplication::arguments().mid(2);
        return kelmor::calendar::runMoonCommand(args);
    }
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Сонник ZEL Kelmor 3"));
    label.show();
    return app.exec();
}
