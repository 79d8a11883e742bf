#include "platform/cups_library.h"

#include <QLibrary>

#ifdef KELMOR_HAVE_CUPS
#include <cups/cups.h>
#endif

namespace kelmor::platform {

#ifdef KELMOR_HAVE_CUPS
namespace {

// The functions used, resolved from libcups.so.2.
struct Cups
{
    decltype(&cupsGetDests) getDests = nullptr;
    decltype(&cupsGetOption) getOption = nullptr;
    decltype(&cupsFreeDests) freeDests = nullptr;
    QString error;
};

const Cups &cups()
{
    static const Cups loaded = [] {
        Cups c;
        QLibrary library(QStringLiteral("cups"), 2);
        if (!library.load()) {
            c.error = QStringLiteral("Не найдена библиотека CUPS (libcups.so.2): порты принтеров "
                                     "не показаны. %1")
                          .arg(library.errorString());
            return c;
        }
        // The library stays loaded for the life of the process (QLibrary does not unload it
        // when destroyed).
        c.getDests = reinterpret_cast<decltype(&cupsGetDests)>(library.resolve("cupsGetDests"));
        c.getOption = reinterpret_cast<decltype(&cupsGetOption)>(library.resolve("cupsGetOption"));
        c.freeDests = reinterpret_cast<decltype(&cupsFreeDests)>(library.resolve("cupsFreeDests"));
        if (!c.getDests || !c.getOption || !c.freeDests) {
            c = Cups{};
            c.error = QStringLiteral("В библиотеке CUPS (%1) нет нужных функций: порты принтеров "
                                     "не показаны.")
                          .arg(library.fileName());
        }
        return c;
    }();
    return loaded;
}

} // namespace
#endif

CupsDeviceUri cupsDeviceUri(const QString &destination)
{
#ifdef KELMOR_HAVE_CUPS
    const Cups &c = cups();
    if (!c.getDests)
        return {QString(), c.error};
    cups_dest_t *dests = nullptr;
    const int count = c.getDests(&dests);
    CupsDeviceUri out;
    const QByteArray wanted = destination.toUtf8();
    for (int i = 0; i < count; ++i) {
        if (wanted == dests[i].name && !dests[i].instance) {
            if (const char *value =
                    c.getOption("device-uri", dests[i].num_options, dests[i].options))
                out.uri = QString::fromUtf8(value);
            break;
        }
    }
    c.freeDests(count, dests);
    return out;
#else
    Q_UNUSED(destination);
    return {QString(), QStringLiteral("Программа собрана без CUPS: порты принтеров не показаны.")};
#endif
}

} // namespace kelmor::platform
