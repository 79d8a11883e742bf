#include "moon_command.h"

#include <QTextStream>

namespace kelmor::calendar {

int runMoonCommand(const QStringList &args)
{
    Q_UNUSED(args);
    QTextStream(stderr) << "kelmor moon: not available yet\n";
    return 2;
}

} // namespace kelmor::calendar
