#include "journal/entry_document.h"

#include "journal/journal_csv.h"
#include "viewer/document_writer.h"

#include <QDateTime>

namespace kelmor::journal {

namespace {

using viewer::CharFormat;

// As the interpretation documents: the heading word, labels, links.
const CharFormat kHeading = viewer::documentHeadingFormat();
const CharFormat kLabel = viewer::documentLabelFormat();
const CharFormat kLink = viewer::documentLinkFormat();

CharFormat bold()
{
    CharFormat f;
    f.bold = true;
    return f;
}

// The entry's document: its text and runs, with the places of its links.
class Writer : public viewer::DocumentWriter
{
public:
    void line(const QString &label, const QString &value)
    {
        add(label, kLabel);
        add(u' ' + value);
        newLine();
    }
    void link(const QString &headword)
    {
        m_links.push_back({size(), int(headword.size()), headword});
        add(headword, kLink);
    }
    EntryDocument take()
    {
        EntryDocument doc;
        doc.text = takeText();
        doc.runs = takeRuns();
        doc.links = std::move(m_links);
        return doc;
    }

private:
    std::vector<EntryDocument::Link> m_links;
};

QString local(std::int64_t seconds, int offset, const char *format)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::OffsetFromUTC, offset)
        .toString(QString::fromLatin1(format));
}

// Line breaks of the user's text as the document's CR LF.
QString documentLines(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    t.replace(QChar(0x2028), u'\n');
    t.replace(QChar(0x2029), u'\n');
    t.replace(u'\n', QStringLiteral("\r\n"));
    return t;
}

} // namespace

const EntryDocument::Link *EntryDocument::linkAt(int position) const
{
    for (const Link &l : links)
        if (position >= l.start && position < l.start + l.length)
            return &l;
    return nullptr;
}

std::vector<LunarDayLine> lunarDayLines(const std::vector<StoredLunarDay> &days)
{
    std::vector<LunarDayLine> lines;
    for (const StoredLunarDay &d : days)
        lines.push_back({QStringLiteral("%1-й лунный день — %2 ночи (%3 – %4)")
                             .arg(d.number)
                             .arg(shareText(d.share), local(d.start, d.startOffset, "dd.MM HH:mm"),
                                  local(d.end, d.endOffset, "dd.MM HH:mm")),
                         d.meaning.trimmed()});
    return lines;
}

EntryDocument buildEntryDocument(const JournalEntry &e)
{
    Writer w;
    w.add(u' ' + (e.title.isEmpty() ? QStringLiteral("Без названия") : e.title), kHeading);
    w.newLine();
    w.newLine();
    w.line(e.moment ? QStringLiteral("Когда приснился:") : QStringLiteral("Ночь:"),
           nightText(e) + QStringLiteral(" (") + offsetName(e.wokeUpOffset) + u')');
    w.line(QStringLiteral("Место:"),
           QStringLiteral("%1 (%2, %3), %4")
               .arg(e.placeName)
               .arg(double(e.latitude) / calendar::kFixedScale, 0, 'f', 4)
               .arg(double(e.longitude) / calendar::kFixedScale, 0, 'f', 4)
               .arg(e.timeZone));
    w.newLine();
    w.add(e.lunarDays.size() == 1 ? QStringLiteral("Лунный день:")
                                  : QStringLiteral("Лунные дни ночи:"),
          kLabel);
    w.newLine();
    for (const LunarDayLine &l : lunarDayLines(e.lunarDays)) {
        w.add(l.heading, bold());
        w.newLine();
        w.add(l.meaning);
        w.newLine();
    }
    w.line(QStringLiteral("День недели:"), e.weekDayName());
    w.add(e.weekDayMeaning);
    w.newLine();
    w.line(QStringLiteral("Число месяца:"), QString::number(e.monthDay));
    w.add(e.monthDayMeaning);
    w.newLine();
    w.newLine();

    w.add(QStringLiteral("Символы сна:"), kLabel);
    if (e.symbols.isEmpty())
        w.add(QStringLiteral(" не найдены"));
    for (int i = 0; i < e.symbols.size(); ++i) {
        w.add(i == 0 ? QStringLiteral(" ") : QStringLiteral(", "));
        w.link(e.symbols[i]);
    }
    w.newLine();
    if (!e.tags.isEmpty())
        w.line(QStringLiteral("Метки:"), e.tags.join(QStringLiteral(", ")));
    if (e.mood > 0)
        w.line(QStringLiteral("Настроение:"), QStringLiteral("%1 из 5").arg(e.mood));
    QString outcome = outcomeText(e.outcome);
    if (e.outcomeDate.isValid())
        outcome += u' ' + e.outcomeDate.toString(QStringLiteral("dd.MM.yyyy"));
    if (!e.outcomeNote.trimmed().isEmpty())
        outcome += QStringLiteral(" — ") + e.outcomeNote.simplified();
    w.line(QStringLiteral("Сбылся ли:"), outcome);
    if (!e.text.trimmed().isEmpty()) {
        w.newLine();
        w.add(documentLines(e.text.trimmed()));
        w.newLine();
    }
    return w.take();
}

} // namespace kelmor::journal
