// A whole dream: the symbols found in a text and their order, and the report with its calendar
// lines, sections and links.
#include "books/word_forms.h"
#include "dream/dream_analysis.h"
#include "dream/dream_report.h"
#include "platform/qt_timezone.h"
#include "viewer/book_fakes.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

using namespace kelmor::dream;
using kelmor::books::FormResolver;
using kelmor::books::WordForms;
using kelmor::viewer::testing::fakeBook;

std::shared_ptr<const WordForms> russian()
{
    static const std::shared_ptr<const WordForms> forms = WordForms::systemDictionary();
    return forms;
}

const QStringList kHeadwords = {
    QStringLiteral("Вода"),         QStringLiteral("Змея"),      QStringLiteral("Луна"),
    QStringLiteral("Река"),         QStringLiteral("Собака"),    QStringLiteral("Стоячая"),
    QStringLiteral("Стоячая вода"), QStringLiteral("Жар-птица"),
};

// The dream with single and multi-word symbols, repeats, punctuation and capitals.
const QString kDream = QStringLiteral(
    "Снилась СТОЯЧАЯ вода, а в стоячей воде плавали змеи. Змея!\n"
    "Потом собаки лаяли на луну; вода – чистая, стоячая, как жар-птица... Река-речка, реке.");

QStringList markedTexts(const QString &text, const DreamAnalysis &analysis)
{
    QStringList out;
    for (const DreamMark &m : analysis.marks)
        out << text.mid(m.start, m.length) + u'=' +
                   analysis.symbols[std::size_t(m.symbol)].headword;
    return out;
}

TEST(DreamAnalysis, EverySymbolOnceInOrderOfAppearanceLongestFirst)
{
    ASSERT_TRUE(russian()->isAvailable());
    const FormResolver resolver(kHeadwords, russian());
    const DreamAnalysis analysis = analyseDream(kDream, resolver);
    QStringList symbols;
    for (const DreamSymbol &s : analysis.symbols)
        symbols << s.headword;
    EXPECT_EQ(symbols, (QStringList{"Стоячая вода", "Змея", "Собака", "Луна", "Вода", "Стоячая",
                                    "Жар-птица", "Река"}));
    EXPECT_EQ(markedTexts(kDream, analysis),
              (QStringList{"СТОЯЧАЯ вода=Стоячая вода", "стоячей воде=Стоячая вода", "змеи=Змея",
                           "Змея=Змея", "собаки=Собака", "луну=Луна", "вода=Вода",
                           "стоячая=Стоячая", "жар-птица=Жар-птица", "Река=Река", "реке=Река"}));
    EXPECT_EQ(analysis.symbols[1].firstText, "змеи");
}

TEST(DreamAnalysis, WithoutDictionaryOnlyWordsAsWritten)
{
    const FormResolver resolver(kHeadwords, std::make_shared<const WordForms>());
    const DreamAnalysis analysis = analyseDream(kDream, resolver);
    EXPECT_EQ(markedTexts(kDream, analysis),
              (QStringList{"СТОЯЧАЯ вода=Стоячая вода", "Змея=Змея", "вода=Вода", "стоячая=Стоячая",
                           "жар-птица=Жар-птица", "Река=Река"}));
    EXPECT_TRUE(analyseDream(QStringLiteral(" ...\n 42 "), resolver).symbols.empty());
    EXPECT_TRUE(analyseDream(QString(), resolver).marks.empty());
}

class DreamReportTest : public ::testing::Test
{
protected:
    std::vector<kelmor::viewer::InterpretationBook> books{
        fakeBook(u"Первый", 0x0000FF,
                 {{u"Змея", u"Змея – к мудрости.", u"Вода; Луна."}, {u"Вода", u"К слезам.", {}}}),
        fakeBook(u"Второй", 0x008000, {{u"змея", u"К коварству.", u"Огонь."}}),
        fakeBook(u"Выключен", 0, {{u"Вода", u"Не показывать.", {}}}, false),
    };
    const kelmor::platform::QtTimeZoneProvider moscow{QTimeZone("Europe/Moscow")};
    kelmor::calendar::Location place; // Moscow
    const kelmor::calendar::DateTime moment =
        kelmor::calendar::DateTime::fromFields(2024, 4, 9, 7, 30, 0);
};

TEST_F(DreamReportTest, CalendarLinesForAFixedMomentAndPlace)
{
    const std::vector<CalendarLine> lines = calendarLines(moment, place, moscow);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].label + ' ' + lines[0].value, "Когда приснился: 9 апреля 2024, 07:30");
    EXPECT_EQ(lines[1].value, "Москва (55°45' с.ш.  37°35' в.д)");
    EXPECT_EQ(lines[2].label + ' ' + lines[2].value, "День недели: Вторник");
    EXPECT_EQ(lines[2].meaning, "Сон, приснившийся вам в этот день, может исполнится очень "
                                "нескоро, несмотря на предсказание лунного календаря.");
    EXPECT_EQ(lines[3].label + ' ' + lines[3].value, "Число месяца: 9");
    EXPECT_EQ(lines[3].meaning, "Сны бессмысленные, бесцветные и никакого значения не имеют.");
    EXPECT_EQ(lines[4].label + ' ' + lines[4].value,
              "Лунный день: 2 (09 апр. 2024 05:47 - 10 апр. 2024 05:56)");
    EXPECT_EQ(lines[4].meaning, "Сны сбываются.");

    // The calendar's empty moment and a moment outside the engine's range say so.
    const auto sentinel = calendarLines(kelmor::calendar::kSentinelMoment, place, moscow);
    EXPECT_EQ(sentinel[4].value, "для этого момента не рассчитывается");
    EXPECT_EQ(sentinel[2].value, "Понедельник");
}

TEST_F(DreamReportTest, TextWithMarkedSymbolsCalendarAndEachInterpretationAsAssembled)
{
    const FormResolver resolver(
        {QStringLiteral("Вода"), QStringLiteral("Змея"), QStringLiteral("Луна")}, russian());
    // Marker characters of the interpretations in the user's text stay plain text.
    const QString dream = QStringLiteral("Змеи & F <ползли> к воде §^\nи опять змеи.\n\n");
    const DreamAnalysis analysis = analyseDream(dream, resolver);
    const auto calendar = calendarLines(moment, place, moscow);
    const DreamReport report = buildDreamReport(dream, analysis, calendar, books);
    const QString text = QString::fromStdU16String(report.text);

    EXPECT_TRUE(text.startsWith(" Весь сон\r\n\r\nЗмеи & F <ползли> к воде §^\r\nи опять змеи."
                                "\r\n\r\nСимволы сна: Змея, Вода\r\n\r\nКогда приснился: "))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\r\nЛунный день: 2 (09 апр. 2024 05:47 - 10 апр. 2024 05:56)\r\n"
                              "Сны сбываются.\r\n"));
    // The runs cover the text in order; nothing of the user's text is hidden.
    int covered = 0;
    for (const auto &run : report.runs) {
        ASSERT_EQ(run.start, covered);
        covered += run.length;
        if (run.start < int(text.indexOf("Символы"))) {
            EXPECT_FALSE(run.format.hidden() || run.format.symbol) << run.start;
        }
    }
    EXPECT_EQ(covered, text.size());

    // Each section is the viewer's document of its symbol, in report order.
    ASSERT_EQ(report.symbols, (std::vector<QString>{"Змея", "Вода"}));
    const auto snake = kelmor::viewer::assembleInterpretation(u"Змея", books);
    const auto water = kelmor::viewer::assembleInterpretation(u"Вода", books);
    ASSERT_TRUE(snake && water);
    EXPECT_EQ(report.text.substr(std::size_t(report.sectionStarts[0]), snake->size()), *snake);
    EXPECT_EQ(report.text.substr(std::size_t(report.sectionStarts[1]), water->size()), *water);
    EXPECT_TRUE(report.text.ends_with(*water));

    // Links: each mark and each name of the list leads to its section; the cross-references
    // lead to a section when the symbol is here, else name their word.
    const auto linkText = [&](const DreamReport::Link &l) { return text.mid(l.start, l.length); };
    const DreamReport::Link *first = report.linkAt(0 + int(text.indexOf("Змеи")) + 2);
    ASSERT_TRUE(first);
    EXPECT_EQ(linkText(*first), "Змеи");
    EXPECT_EQ(first->section, 0);
    EXPECT_FALSE(report.linkAt(int(text.indexOf("ползли")) + 1));
    QStringList crossReferences;
    for (const DreamReport::Link &l : report.links)
        if (l.start > report.sectionStarts[0])
            crossReferences << linkText(l) + u':' +
                                   (l.section >= 0 ? QString::number(l.section) : l.word);
    EXPECT_EQ(crossReferences, (QStringList{"Вода>:1", "Луна>:Луна", "Огонь>:Огонь"}));
}

} // namespace
