#include "tray/obscene_words.h"

namespace kelmor::tray {

const QStringList &obscenePatterns()
{
    static const QStringList patterns = {
        QStringLiteral("*ёб*"),    QStringLiteral("*ебл*"),   QStringLiteral("*еба*"),
        QStringLiteral("*ебу*"),   QStringLiteral("*бля*"),   QStringLiteral("*сука*"),
        QStringLiteral("*педир*"), QStringLiteral("*педар*"), QStringLiteral("*пидар*"),
        QStringLiteral("*хуе*"),   QStringLiteral("*пизд*"),  QStringLiteral("*хуй*"),
    };
    return patterns;
}

bool matchesWildcard(QStringView text, QStringView pattern)
{
    // Greedy matching with one backtrack point: the last "*" seen and where its run ended.
    qsizetype t = 0, p = 0;
    qsizetype starAt = -1, starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starAt = p++;
            starText = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (starAt >= 0) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

bool IsMat(const QString &word)
{
    const QString text = word.trimmed().toLower();
    for (const QString &pattern : obscenePatterns()) {
        if (matchesWildcard(text, pattern))
            return true;
    }
    return false;
}

} // namespace kelmor::tray
