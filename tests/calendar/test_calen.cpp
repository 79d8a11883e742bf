// The moon calendar window, driven through its controls as a user reaches them (by name), and
// its logic classes directly: the pickers' shared moment, the deferred recalculation, the
// sentinel moment, the lunar-day texts and pictures, the location line, Esc, the settlement and
// the logo, and agreement with `kelmor moon`.
#include "calendar/calen.h"
#include "calendar/dream_tables.h"
#include "calendar/moon_phase.h"
#include "platform/open_url.h"
#include "platform/process_animation.h"
#include "platform/qt_timezone.h"
#include "platform/settings.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QToolButton>

#include <cmath>
#include <memory>

using namespace kelmor::calendar;
using kelmor::astro::FixedTimeZoneProvider;

namespace {

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

LocalMoment at(int year, int month, int day, int hour, int minute, int second)
{
    return LocalMoment{QDate(year, month, day), QTime(hour, minute, second)};
}

class CalenTest : public ::testing::Test
{
protected:
    // 2024-04-09 04:30:00 UTC: 07:30 in Moscow.
    QDateTime utcNow = QDateTime(QDate(2024, 4, 9), QTime(4, 30, 0), Qt::UTC);
    Location place;
    std::shared_ptr<const kelmor::astro::TimeZoneProvider> zone =
        std::make_shared<FixedTimeZoneProvider>(3 * 3600);
    const kelmor::platform::SettingsStore *store = nullptr;
    QPointer<Calen> window;

    void TearDown() override { delete window.data(); }

    Calen &open()
    {
        Calen::Context context;
        context.location = [this] { return place; };
        context.store = store;
        context.zone = zone;
        context.now = [this] { return utcNow; };
        window = new Calen(std::move(context));
        return *window;
    }

    template <typename T = QLabel> T *control(const char *name) const
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QDateTimeEdit *datePicker() const { return control<QDateTimeEdit>("DTPicker1"); }
    QDateTimeEdit *timePicker() const { return control<QDateTimeEdit>("DTPicker2"); }
    QString label(const char *name) const { return control(name)->text(); }

    // Every result field, as shown.
    QStringList shownResults() const
    {
        QStringList shown;
        for (const char *name :
             {"Label12", "Text1", "Label5", "Text2", "Label16", "Label3", "Text3"})
            shown << label(name);
        shown << QString::number(control<MoonPhaseView>("Picture2")->picture());
        return shown;
    }

    static void step(QDateTimeEdit *picker, QDateTimeEdit::Section section, int times = 1)
    {
        picker->setFocus();
        picker->setCurrentSection(section);
        for (int i = 0; i < times; ++i)
            QTest::keyClick(picker, Qt::Key_Up);
    }
};

} // namespace

TEST_F(CalenTest, OpensOnNowAtTheObserversPlace)
{
    Calen &w = open();
    EXPECT_EQ(w.objectName(), "Calen");
    EXPECT_EQ(w.windowTitle(), "Календарь сбываемости снов");
    EXPECT_FALSE(w.isModal());
    EXPECT_EQ(label("heading"), "Календарь сбываемости снов");
    EXPECT_EQ(label("Label10"), "Введите дату и приблизительное время, когда приснился сон:");
    EXPECT_EQ(label("Label2"), "Сны, приснившиеся в канун больших церковных праздников "
                               "зачастую обладают важным смыслом.");
    EXPECT_EQ(label("Label4"), "День недели:");
    EXPECT_EQ(label("Label1"), "Число месяца:");
    EXPECT_EQ(label("Label8"), "Лунный день:");

    // Now, in local time, in both pickers.
    EXPECT_EQ(w.moment(), at(2024, 4, 9, 7, 30, 0));
    EXPECT_EQ(datePicker()->text(), "09 апреля 2024");
    EXPECT_TRUE(datePicker()->calendarPopup());
    EXPECT_EQ(timePicker()->text(), "07 : 30 : 00");
    EXPECT_EQ(timePicker()->buttonSymbols(), QAbstractSpinBox::UpDownArrows);

    auto *now = control<QToolButton>("Toolbar1");
    EXPECT_EQ(now->text(), "Сейчас ");
    EXPECT_EQ(now->toolTip(), "09 апреля 2024 г., 07:30");
    auto *clock = control<QTimer>("Timer1");
    EXPECT_TRUE(clock->isActive());
    EXPECT_EQ(clock->interval(), 2000);

    // The place and the results of the opening calculation.
    EXPECT_TRUE(label("Label7").contains("Москва"));
    EXPECT_EQ(control("Label7")->toolTip(), "Настройки точного расчета");
    EXPECT_EQ(label("Label9"), "55°45' с.ш.  37°35' в.д 3 GMT");
    EXPECT_EQ(label("Label12"), "Вторник");
    EXPECT_EQ(label("Text1"), text(DreamByWeekDay(2)));
    EXPECT_EQ(label("Label5"), "9");
    EXPECT_EQ(label("Text2"), text(DreamByDay(9)));
    const auto expected = Calculate(w.moment().toDateTime(), Location{}, *zone);
    ASSERT_TRUE(expected && expected->moon.lunarDay);
    EXPECT_EQ(label("Label16"), QString::number(expected->moon.lunarDay->number));
    EXPECT_EQ(label("Label3"), periodText(*expected->moon.lunarDay));
    EXPECT_FALSE(control("Label3")->isHidden());

    // The busy animation plays, and Timer2 hides it 300 ms after the calculation.
    auto *busy = control<kelmor::platform::ProcessAnimation>("Process1");
    auto *busyStop = control<QTimer>("Timer2");
    EXPECT_TRUE(busy->isPlaying());
    EXPECT_TRUE(busyStop->isActive());
    EXPECT_EQ(busyStop->interval(), 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !busy->isPlaying(); }, 2000));
    EXPECT_TRUE(busy->isHidden());
}

// A changed date keeps the time and a changed time keeps the date: both pickers hold the one
// full moment, also when the month has fewer days.
TEST_F(CalenTest, PickersHoldOneFullMoment)
{
    Calen &w = open();
    w.setMoment(at(2025, 1, 31, 7, 30, 15));

    step(datePicker(), QDateTimeEdit::MonthSection);
    EXPECT_EQ(datePicker()->text(), "28 февраля 2025");
    EXPECT_EQ(w.moment(), at(2025, 2, 28, 7, 30, 15));
    EXPECT_EQ(timePicker()->dateTime(), w.moment().toQDateTime());
    EXPECT_EQ(datePicker()->dateTime(), w.moment().toQDateTime());

    step(timePicker(), QDateTimeEdit::HourSection);
    EXPECT_EQ(timePicker()->text(), "08 : 30 : 15");
    EXPECT_EQ(w.moment(), at(2025, 2, 28, 8, 30, 15));
    EXPECT_EQ(datePicker()->text(), "28 февраля 2025");
    EXPECT_EQ(datePicker()->dateTime(), w.moment().toQDateTime());
}

TEST_F(CalenTest, PickerChangesAreCalculatedOnceHalfASecondAfterTheLast)
{
    Calen &w = open();
    QSignalSpy calculated(&w, &Calen::calculated);
    auto *deferred = control<QTimer>("Timer3");

    step(datePicker(), QDateTimeEdit::DaySection, 3);
    step(timePicker(), QDateTimeEdit::MinuteSection, 2);
    EXPECT_EQ(calculated.size(), 0);
    EXPECT_TRUE(deferred->isActive());
    EXPECT_EQ(deferred->interval(), 500);
    EXPECT_EQ(label("Label5"), "9");

    ASSERT_TRUE(QTest::qWaitFor([&] { return calculated.size() > 0; }, 3000));
    QTest::qWait(100);
    EXPECT_EQ(calculated.size(), 1);
    EXPECT_FALSE(deferred->isActive());
    EXPECT_EQ(w.moment(), at(2024, 4, 12, 7, 32, 0));
    EXPECT_EQ(label("Label5"), "12");
    EXPECT_EQ(label("Label12"), "Пятница");

    // "Сейчас " calculates at once, and a deferred calculation still waiting is not needed.
    step(datePicker(), QDateTimeEdit::DaySection);
    control<QToolButton>("Toolbar1")->click();
    EXPECT_EQ(calculated.size(), 2);
    EXPECT_FALSE(deferred->isActive());
    EXPECT_EQ(w.moment(), at(2024, 4, 9, 7, 30, 0));
    EXPECT_EQ(datePicker()->text(), "09 апреля 2024");
    EXPECT_EQ(label("Label5"), "9");
}

TEST(RecalculationScheduler, ARequestDuringTheCalculationRunsOnceAfterIt)
{
    int runs = 0;
    int depth = 0;
    int deepest = 0;
    std::unique_ptr<RecalculationScheduler> scheduler;
    scheduler = std::make_unique<RecalculationScheduler>([&] {
        ++runs;
        deepest = std::max(deepest, ++depth);
        if (runs == 1) {
            // Two requests while the first runs: carried out once, after it.
            scheduler->runNow();
            scheduler->runNow();
            EXPECT_EQ(runs, 1);
        }
        --depth;
    });
    scheduler->runNow();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(deepest, 1);
    EXPECT_FALSE(scheduler->isRunning());
    scheduler->runNow();
    EXPECT_EQ(runs, 3);
}

TEST_F(CalenTest, TheSentinelMomentLeavesTheResultsAsTheyWere)
{
    Calen &w = open();
    const QStringList before = shownResults();
    QSignalSpy calculated(&w, &Calen::calculated);
    w.setMoment(at(1900, 1, 1, 0, 0, 0));
    w.recalculate();
    EXPECT_EQ(calculated.size(), 1);
    EXPECT_EQ(datePicker()->text(), "01 января 1900");
    EXPECT_EQ(shownResults(), before);

    // A second later is calculated again.
    w.setMoment(at(1900, 1, 1, 0, 0, 1));
    w.recalculate();
    EXPECT_EQ(label("Label12"), "Понедельник");
    EXPECT_EQ(label("Label5"), "1");
}

TEST_F(CalenTest, LunarDayTextsAndPhasePicture)
{
    struct Case
    {
        int day;
        const char *text;
        int picture;
    };
    const Case cases[] = {
        {1, "Сон в этот день исполняется в точности и предзнаменует доброе.", 1},
        {29, "Сбываются, особенно если озвученные.", 29},
        {30, " Сбываются только хорошо запомнившиеся сны.", 29},
    };
    Calen &w = open();
    for (const Case &c : cases) {
        CalenResults results;
        results.showLunarDay(LunarDay{c.day, DateTime::fromFields(2024, 5, 9, 18, 5, 59),
                                      DateTime::fromFields(2024, 5, 10, 19, 7, 0)});
        const CalenTexts &t = results.texts();
        EXPECT_EQ(t.lunarDay, QString::number(c.day));
        EXPECT_EQ(t.lunarText, QString::fromUtf8(c.text)) << c.day;
        EXPECT_EQ(t.period, " (09 мая 2024 18:05 - 10 мая 2024 19:07)");
        EXPECT_TRUE(t.periodVisible);
        EXPECT_EQ(phasePictureIndex(results.lunarDayNumber()), c.picture) << c.day;
        w.ShowMoonPhase(c.day);
        EXPECT_EQ(control<MoonPhaseView>("Picture2")->picture(), c.picture) << c.day;
    }
}

TEST(CalenLocationLine, ShowsTheOffsetWithItsMinutes)
{
    struct Case
    {
        int seconds;
        const char *shown;
    };
    const Case cases[] = {
        {3 * 3600, "3"},
        {-5 * 3600, "-5"},
        {5 * 3600 + 1800, "5:30"},
        {20700, "5:45"},
        {-(3 * 3600 + 1800), "-3:30"},
        {0, "0"},
        {12 * 3600 + 2700, "12:45"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(coordinatesLine(Location{}, c.seconds),
                  QStringLiteral("55°45' с.ш.  37°35' в.д %1 GMT").arg(QString::fromUtf8(c.shown)))
            << c.seconds;
    }

    // Southern and western hemispheres.
    Location santiago;
    santiago.sGraduses = 33;
    santiago.sMinutes = 27;
    santiago.sM = -1;
    santiago.dGraduses = 70;
    santiago.dMinutes = 40;
    santiago.dM = -1;
    EXPECT_EQ(coordinatesLine(santiago, -4 * 3600), "33°27' ю.ш.  70°40' з.д. -4 GMT");
}

// The offset of the zone at the current moment, the same at any minute of the hour.
TEST(CalenLocationLine, TakesTheRealOffsetOfTheZone)
{
    struct Case
    {
        const char *zone;
        const char *shown;
    };
    const Case cases[] = {{"Europe/Moscow", "3"},
                          {"America/New_York", "-5"},
                          {"Asia/Kolkata", "5:30"},
                          {"Asia/Kathmandu", "5:45"}};
    for (const Case &c : cases) {
        const kelmor::platform::QtTimeZoneProvider zone{QTimeZone(QByteArray(c.zone))};
        ASSERT_TRUE(zone.zone().isValid()) << c.zone;
        for (int minute : {5, 40, 55}) {
            const QDateTime now(QDate(2024, 1, 15), QTime(10, minute), Qt::UTC);
            EXPECT_EQ(offsetText(currentOffsetSeconds(zone, now)), QString::fromUtf8(c.shown))
                << c.zone << " at minute " << minute;
        }
    }
}

TEST_F(CalenTest, LocationLineInAHalfHourZone)
{
    zone = std::make_shared<kelmor::platform::QtTimeZoneProvider>(QTimeZone("Asia/Kolkata"));
    open();
    EXPECT_EQ(label("Label9"), "55°45' с.ш.  37°35' в.д 5:30 GMT");
    // Now, on the clock of that zone.
    EXPECT_EQ(timePicker()->text(), "10 : 00 : 00");
}

TEST_F(CalenTest, EscClosesTheWindowWhereverTheFocusIs)
{
    for (const char *focus : {"DTPicker1", "DTPicker2", "Toolbar1"}) {
        Calen &w = open();
        QSignalSpy unloaded(&w, &Calen::unloaded);
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w)) << focus;
        QWidget *target = control<QWidget>(focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(w.isVisible()) << focus;
        EXPECT_EQ(unloaded.size(), 1) << focus;
        // Closing unloads the window.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull()) << focus;
    }
}

TEST_F(CalenTest, SettlementAsksForTheLocationSettingsAndIsCalculatedAfter)
{
    QTemporaryDir dir;
    auto settings =
        kelmor::platform::SettingsStore::atFile(dir.filePath(QStringLiteral("settings.conf")));
    store = &settings;
    Calen &w = open();
    EXPECT_TRUE(label("Label7").contains("Москва"));
    const QString moscowPeriod = label("Label3");

    QSignalSpy asked(&w, &Calen::locationEditRequested);
    QSignalSpy calculated(&w, &Calen::calculated);
    QMetaObject::invokeMethod(control("Label7"), "linkActivated", Q_ARG(QString, "location"));
    EXPECT_EQ(asked.size(), 1);

    // The options window stored a new place: Novosibirsk, 55°02' N 82°55' E.
    settings.write(kelmor::platform::LocationSection, QStringLiteral("CityName"),
                   QStringLiteral("Новосибирск"));
    place.sMinutes = 2;
    place.dGraduses = 82;
    place.dMinutes = 55;
    place.derive();
    w.locationChanged();
    EXPECT_EQ(calculated.size(), 1);
    EXPECT_TRUE(label("Label7").contains("Новосибирск"));
    EXPECT_FALSE(label("Label7").contains("Москва"));
    EXPECT_EQ(label("Label9"), "55°2' с.ш.  82°55' в.д 3 GMT");
    EXPECT_NE(label("Label3"), moscowPeriod);

    // A name is shown as text, never as markup.
    settings.write(kelmor::platform::LocationSection, QStringLiteral("CityName"),
                   QStringLiteral("<b>Посёлок</b> & Ко"));
    w.CheckGeo();
    EXPECT_TRUE(label("Label7").contains("&lt;b&gt;Посёлок&lt;/b&gt; &amp; Ко"));
}

TEST_F(CalenTest, LogoOpensTheProjectsWebPage)
{
    QList<QUrl> opened;
    kelmor::platform::setUrlOpener([&opened](const QUrl &url) {
        opened << url;
        return true;
    });
    open();
    control<QToolButton>("Image6")->click();
    kelmor::platform::setUrlOpener({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], Calen::homePage());
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://example.org/kelmor")));
}

TEST_F(CalenTest, AMomentOutsideTheEnginesRangeShowsWhyAndTheNextOneRecovers)
{
    Calen &w = open();
    w.setMoment(at(9999, 12, 31, 12, 0, 0));
    w.recalculate();
    EXPECT_EQ(label("Label12"), "Пятница");
    EXPECT_EQ(label("Label5"), "31");
    EXPECT_EQ(label("Text3"), kLunarDayFailedText);
    EXPECT_EQ(label("Label16"), "");
    EXPECT_TRUE(control("Label3")->isHidden());
    EXPECT_TRUE(control<MoonPhaseView>("Picture2")->isHidden());

    w.setMoment(at(2024, 4, 9, 7, 30, 0));
    w.recalculate();
    EXPECT_NE(label("Label16"), "");
    EXPECT_FALSE(control("Label3")->isHidden());
    EXPECT_FALSE(control<MoonPhaseView>("Picture2")->isHidden());
}

TEST(PhaseAnimation, RunsThroughPicturesOneToTwentyEightThenBackToTheDay)
{
    PhaseAnimation animation;
    for (int round = 0; round < 2; ++round) {
        for (int k = 1; k <= 28; ++k) {
            const PhaseAnimation::Step s = animation.step(30);
            EXPECT_EQ(s.picture, k);
            EXPECT_FALSE(s.finished);
        }
        const PhaseAnimation::Step last = animation.step(30);
        EXPECT_EQ(last.picture, 29);
        EXPECT_TRUE(last.finished);
        EXPECT_EQ(animation.counter(), 0);
    }
}

TEST_F(CalenTest, DoubleClickOnThePictureAnimatesThePhases)
{
    Calen &w = open();
    auto *picture = control<MoonPhaseView>("Picture2");
    auto *timer = control<QTimer>("Timer4");
    const int today = phasePictureIndex(w.results().lunarDayNumber());
    ASSERT_EQ(picture->picture(), today);
    QTest::mouseDClick(picture, Qt::LeftButton);
    ASSERT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 100);
    timer->start(1);
    QList<int> shown;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (shown.isEmpty() || shown.back() != picture->picture())
                shown << picture->picture();
            return !timer->isActive();
        },
        5000));
    EXPECT_EQ(picture->picture(), today);
    EXPECT_GE(shown.size(), 10); // the pictures changed along the way
}

// `kelmor moon --json` and the window agree for the same moment and place.
TEST_F(CalenTest, AgreesWithTheMoonCommand)
{
    zone = std::make_shared<kelmor::platform::QtTimeZoneProvider>(QTimeZone("Europe/Moscow"));
    Calen &w = open();
    QTemporaryDir config;
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const auto shown = [&ru](const QJsonValue &iso) {
        const QDateTime t = QDateTime::fromString(iso.toString().left(19), Qt::ISODate);
        return ru.toString(t, QStringLiteral("dd MMM yyyy hh:mm"));
    };
    for (const LocalMoment &m : {at(2024, 7, 20, 12, 0, 0), at(2025, 3, 29, 22, 15, 0)}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Moscow"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        p.setProcessEnvironment(env);
        const QString moment = m.toQDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        p.start(QStringLiteral(KELMOR_BINARY),
                {QStringLiteral("moon"), QStringLiteral("--at"), moment, QStringLiteral("--lat"),
                 QStringLiteral("55.75"), QStringLiteral("--lon"), QStringLiteral("37.5833"),
                 QStringLiteral("--json")});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        ASSERT_TRUE(o.contains(QStringLiteral("lunarDay"))) << moment.toStdString();

        w.setMoment(m);
        w.recalculate();
        EXPECT_EQ(label("Label12"), o[QStringLiteral("weekdayName")].toString());
        EXPECT_EQ(label("Text1"), o[QStringLiteral("weekdayText")].toString());
        EXPECT_EQ(label("Label5"), QString::number(o[QStringLiteral("day")].toInt()));
        EXPECT_EQ(label("Text2"), o[QStringLiteral("dayText")].toString());
        EXPECT_EQ(label("Label16"), QString::number(o[QStringLiteral("lunarDay")].toInt()));
        EXPECT_EQ(label("Label3"),
                  QStringLiteral(" (%1 - %2)")
                      .arg(shown(o[QStringLiteral("start")]), shown(o[QStringLiteral("end")])));
        EXPECT_EQ(label("Text3"), o[QStringLiteral("lunarText")].toString());
    }
}

namespace {

TEST_F(CalenTest, GivenAWakingTimeTheWindowShowsEveryLunarDayOfTheNight)
{
    Calen &w = open();
    w.setMoment(at(2024, 4, 8, 23, 0, 0));
    w.recalculate();
    EXPECT_FALSE(w.showsSleepWindow());
    EXPECT_FALSE(control("SleepWindowDays")->isVisibleTo(&w));
    auto *box = control<QCheckBox>("SleepWindow");
    EXPECT_FALSE(control<QDateTimeEdit>("SleepWindowEnd")->isEnabled());
    // Ticked, the night runs eight hours from the chosen moment until changed.
    box->setChecked(true);
    EXPECT_TRUE(control<QDateTimeEdit>("SleepWindowEnd")->isEnabled());
    EXPECT_EQ(LocalMoment::fromQDateTime(control<QDateTimeEdit>("SleepWindowEnd")->dateTime()),
              at(2024, 4, 9, 7, 0, 0));
    // The new moon at 21:22, the moonrise at 05:47: 6 h 47 min of lunar day 1, then day 2.
    const QString shown = w.sleepWindowText();
    EXPECT_TRUE(shown.startsWith("1-й лунный день — 85 % ночи (08 апр. 21:22 – 09 апр. 05:47)\n"
                                 "Сон в этот день исполняется в точности"))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains("\n2-й лунный день — 15 % ночи (09 апр. 05:47 – "));
    EXPECT_TRUE(shown.contains("\nУтро: Вторник — " + text(DreamByWeekDay(2))));
    EXPECT_TRUE(shown.endsWith("\n9-е число — " + text(DreamByDay(9))));
    // The results above stay those of the chosen moment.
    EXPECT_EQ(label("Label12"), "Понедельник");
    // A waking time before falling asleep says so.
    w.setSleepWindow(true, at(2024, 4, 8, 22, 0, 0));
    EXPECT_EQ(w.sleepWindowText(),
              "Время пробуждения должно быть позже времени, когда вы заснули.");
    box->setChecked(false);
    EXPECT_FALSE(control("SleepWindowDays")->isVisibleTo(&w));
}

} // namespace
