#pragma once

// The moon calendar window: the moment a dream came, and what its weekday, its day of the month
// and its lunar day say about it.

#include "calendar/calen_logic.h"

#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QToolButton;

namespace kelmor::platform {
class ProcessAnimation;
class SettingsStore;
} // namespace kelmor::platform

namespace kelmor::calendar {

// The phase picture, drawn anew for the screen it is on; a double click asks for the
// phase animation.
class MoonPhaseView : public QWidget
{
    Q_OBJECT
public:
    explicit MoonPhaseView(QWidget *parent = nullptr);

    void setPicture(int picture);
    int picture() const { return m_picture; }
    QSize sizeHint() const override;

Q_SIGNALS:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    int m_picture = 0; // 0: nothing shown
    QPixmap m_pixmap;
    int m_pixmapPicture = 0;
    qreal m_pixmapRatio = 0;
};

class Calen : public QWidget
{
    Q_OBJECT
public:
    struct Context
    {
        // The observer's place; default: the default place (Moscow).
        std::function<Location()> location;
        // The settings the settlement's name is read from again before the location line is
        // shown; none: the name the place carries.
        const platform::SettingsStore *store = nullptr;
        // Local time; none: the system's zone, read again for every calculation.
        std::shared_ptr<const astro::TimeZoneProvider> zone;
        // The current instant; default: the system clock.
        std::function<QDateTime()> now;
        // The logo at the bottom of the window; default: the application's icon.
        QIcon logo;
    };

    explicit Calen(Context context, QWidget *owner = nullptr);
    ~Calen() override;

    // The project's web page, opened by the logo.
    static QUrl homePage();

    // Computes and shows everything for the chosen moment at once. Asked for while a
    // calculation runs, it runs once that one has finished. (Picker changes wait for half a
    // second without one, through the scheduler's BCalculate.)
    void recalculate();
    // Reads the place again, then shows the location line.
    void CheckGeo();
    // The settlement and the coordinate line with the current offset of local time.
    void ShowPoint();
    void ShowMoonPhase(int lunarDay);

    // Puts a moment into both pickers (without a recalculation).
    void setMoment(const LocalMoment &moment);
    const LocalMoment &moment() const { return m_moment.value(); }
    const CalenResults &results() const { return m_results; }
    // The night view: the chosen moment is when the dreamer fell asleep, `wokeUp` when they
    // woke up; the lunar days of the whole night show below the results.
    void setSleepWindow(bool on, const LocalMoment &wokeUp);
    bool showsSleepWindow() const;
    QString sleepWindowText() const;
    const Location &place() const { return m_place; }

public Q_SLOTS:
    // The "Сейчас " button: the chosen moment becomes now, calculated at once.
    void setToNow();
    // The observer's place may have changed (the options window closed): the location line
    // again, then the calculation at once.
    void locationChanged();

Q_SIGNALS:
    // The settlement was clicked: the options window should open on its location page, and
    // locationChanged() be called once it has closed.
    void locationEditRequested();
    // One calculation ran and its results are shown.
    void calculated();
    // The window is being unloaded: the main window releases its calendar button.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi();
    void placeOverOwner();
    void runCalculation();
    void showResults();
    void dateEdited(const QDateTime &value);
    void timeEdited(const QDateTime &value);
    void refreshClockTooltip();
    void animatePhase();
    void showSleepWindow();
    LocalMoment now() const;
    std::shared_ptr<const astro::TimeZoneProvider> zone() const;

    Context m_context;
    ChosenMoment m_moment;
    CalenResults m_results;
    RecalculationScheduler *m_scheduler = nullptr;
    PhaseAnimation m_animation;
    Location m_place;

    QDateTimeEdit *m_dateEdit = nullptr;
    QDateTimeEdit *m_timeEdit = nullptr;
    QToolButton *m_nowButton = nullptr;
    QLabel *m_weekDayName = nullptr;
    QLabel *m_weekDayText = nullptr;
    QLabel *m_day = nullptr;
    QLabel *m_dayText = nullptr;
    QLabel *m_lunarDay = nullptr;
    QLabel *m_period = nullptr;
    QLabel *m_lunarText = nullptr;
    MoonPhaseView *m_phase = nullptr;
    QLabel *m_settlement = nullptr;
    QLabel *m_coordinates = nullptr;
    QCheckBox *m_sleepWindow = nullptr;
    QDateTimeEdit *m_wokeUp = nullptr;
    QLabel *m_sleepWindowDays = nullptr;
    platform::ProcessAnimation *m_busy = nullptr;
    QTimer *m_clockTimer = nullptr;
    QTimer *m_busyTimer = nullptr;
    QTimer *m_animationTimer = nullptr;
    bool m_unloaded = false;
};

} // namespace kelmor::calendar
