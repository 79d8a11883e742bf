#include "platform/keyboard_layout.h"

#include <QGuiApplication>
#include <QProcess>

#if __has_include(<X11/XKBlib.h>) && __has_include(<dlfcn.h>)
#include <QtGui/qguiapplication_platform.h>
#define KELMOR_XKB 1
#include <dlfcn.h>
#include <X11/XKBlib.h>
#endif

namespace kelmor::platform {

QString LayoutIdForXkb(const QString &xkbLayout)
{
    static const QHash<QString, QString> ids = {
        {QStringLiteral("ru"), QStringLiteral("00000419")},
        {QStringLiteral("us"), QStringLiteral("00000409")},
        {QStringLiteral("gb"), QStringLiteral("00000809")},
        {QStringLiteral("ua"), QStringLiteral("00000422")},
        {QStringLiteral("by"), QStringLiteral("00000423")},
        {QStringLiteral("de"), QStringLiteral("00000407")},
        {QStringLiteral("fr"), QStringLiteral("0000040C")},
        {QStringLiteral("kz"), QStringLiteral("0000043F")},
    };
    // A layout may carry a variant in parentheses: "ru(phonetic)".
    const QString base = xkbLayout.section(QLatin1Char('('), 0, 0).trimmed().toLower();
    return ids.value(base);
}

QStringList XkbLayoutsFromQuery(const QString &queryOutput)
{
    const QStringList lines = queryOutput.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (!trimmed.startsWith(QLatin1String("layout:")))
            continue;
        QStringList layouts = trimmed.mid(7).split(QLatin1Char(','));
        for (QString &l : layouts)
            l = l.trimmed();
        return layouts;
    }
    return {};
}

#ifdef KELMOR_XKB
namespace {

struct Xkb
{
    using GetState = int (*)(Display *, unsigned int, XkbStatePtr);
    using LockGroup = int (*)(Display *, unsigned int, unsigned int);
    using Flush = int (*)(Display *);
    GetState getState = nullptr;
    LockGroup lockGroup = nullptr;
    Flush flush = nullptr;
    QStringList layouts;
    bool ok = false;
};

// The X11 functions (loaded from the library the platform plugin already uses) and the
// configured layouts, looked up once.
const Xkb &xkb()
{
    static const Xkb instance = [] {
        Xkb x;
        void *lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
        if (!lib)
            lib = dlopen("libX11.so.6", RTLD_LAZY);
        if (!lib)
            return x;
        x.getState = reinterpret_cast<Xkb::GetState>(dlsym(lib, "XkbGetState"));
        x.lockGroup = reinterpret_cast<Xkb::LockGroup>(dlsym(lib, "XkbLockGroup"));
        x.flush = reinterpret_cast<Xkb::Flush>(dlsym(lib, "XFlush"));
        QProcess query;
        query.start(QStringLiteral("setxkbmap"), {QStringLiteral("-query")});
        if (query.waitForFinished(2000) && query.exitStatus() == QProcess::NormalExit)
            x.layouts = XkbLayoutsFromQuery(QString::fromLocal8Bit(query.readAllStandardOutput()));
        x.ok = x.getState && x.lockGroup && x.flush && !x.layouts.isEmpty();
        return x;
    }();
    return instance;
}

Display *x11Display()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

QString currentLayoutId(Display *display, const Xkb &x)
{
    XkbStateRec state{};
    if (x.getState(display, XkbUseCoreKbd, &state) != 0)
        return {};
    const int group = state.group;
    return group >= 0 && group < x.layouts.size() ? LayoutIdForXkb(x.layouts.at(group)) : QString();
}

} // namespace
#endif

bool SwitchKeyboardLayout(const QString &name)
{
#ifdef KELMOR_XKB
    if (!qGuiApp)
        return false;
    Display *display = x11Display();
    if (!display)
        return false;
    const Xkb &x = xkb();
    if (!x.ok)
        return false;
    if (currentLayoutId(display, x).compare(name, Qt::CaseInsensitive) == 0)
        return true;
    for (int group = 0; group < x.layouts.size() && group < 4; ++group) {
        if (LayoutIdForXkb(x.layouts.at(group)).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        x.lockGroup(display, XkbUseCoreKbd, unsigned(group));
        x.flush(display);
        return currentLayoutId(display, x).compare(name, Qt::CaseInsensitive) == 0;
    }
    return false;
#else
    Q_UNUSED(name);
    return false;
#endif
}

void SetRus()
{
    SwitchKeyboardLayout(QStringLiteral("00000419"));
}

} // namespace kelmor::platform
