#include "viewer/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

static void initFontResources()
{
    Q_INIT_RESOURCE(fonts);
}

namespace kelmor::viewer {

void installFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    initFontResources();
    QFontDatabase::addApplicationFont(QStringLiteral(":/kelmor/fonts/kelmor-symbols.ttf"));

    // Metric-compatible free families for the Windows fonts of the documents and dialogs.
    const struct
    {
        const char *family;
        const char *substitute;
    } substitutions[] = {
        {"Arial Cyr", "Liberation Sans"},
        {"Arial", "Liberation Sans"},
        {"Times New Roman Cyr", "Liberation Serif"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New Cyr", "Liberation Mono"},
        {"Courier New", "Liberation Mono"},
        {"Tahoma", "DejaVu Sans"},
        {"Wingdings", "Kelmor Symbols"},
    };
    for (const auto &s : substitutions) {
        const QString family = QString::fromLatin1(s.family);
        if (!QFont::substitutes(family).contains(QString::fromLatin1(s.substitute)))
            QFont::insertSubstitution(family, QString::fromLatin1(s.substitute));
    }
}

} // namespace kelmor::viewer
