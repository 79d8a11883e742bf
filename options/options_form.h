#pragma once

// The options window ("Настройки"): tray-on-close, autorun at logon and the transparency of the
// tray popup on the tab "Общие"; the observer's place for the moon calendar on the tab
// "Настройки местности". Nothing is stored until "Ok"; only the popup's transparency follows the
// slider at once.

#include "calendar/location.h"
#include "calendar/location_page.h"
#include "options/general_options.h"

#include <QDialog>
#include <QTime>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QTabWidget;

namespace kelmor::platform {
class SettingsStore;
}

namespace kelmor::options {

class OptionsForm : public QDialog
{
    Q_OBJECT
public:
    struct Context
    {
        // What the window shows when it opens: the main window's values.
        bool toTrayOnClose = false;
        int menuTransparency = 205;
        calendar::Location location;
        // Receives the popup's opacity whenever the slider moves, and once as the window opens.
        std::function<void(int)> setMenuTransparency;
        // The autorun entry. Defaults: IsAutorunOn and SetAutorun of the shell.
        std::function<bool()> isAutorunOn;
        std::function<void(bool)> setAutorun;
        // City.csv for the city directory; default: CityFilePath().
        QString cityFile;
        // The clock the time label shows on a double click; default: the system's.
        std::function<QTime()> now;
    };

    // Form_Load: reads the values into the controls (the location page through CityIni, the
    // settlement's name from store), on the first tab. "Ok" stores into store, which must
    // outlive the window.
    OptionsForm(platform::SettingsStore &store, Context context, QWidget *parent = nullptr);
    ~OptionsForm() override;

    // Selects tab n (1: "Общие", 2: "Настройки местности") and shows its page; other numbers
    // do nothing.
    void SetTab(int n);
    // The tab shown, 1 or 2.
    int tab() const;

    // Stores everything, in this order: the location page (its keys, longitude before latitude),
    // "ToTray", "MenuTransp", then the autorun entry (a failure there is ignored).
    void ApplySettings();

    // The values "Ok" applied; before it, those the window opened with (the opacity: the
    // slider's).
    bool toTrayOnClose() const { return m_toTrayOnClose; }
    int menuTransparency() const { return m_general.menuTransparency(); }
    const calendar::Location &location() const { return m_location; }

    // The location page as it stands (typed, or chosen from the city directory).
    const calendar::LocationPage &locationPage() const { return m_page; }

    // ">>>": the city directory, modal over this window; a settlement chosen there fills the
    // location page (nothing is stored yet).
    void openCityDirectory();
    // The desktop's date and time settings; a message says so when there are none.
    void openDateTimeSettings();

    // Closing (also from outside, as leaving the tray and the exit do) closes the city directory
    // first when it is open.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildGeneralPage();
    QWidget *buildLocationPage();
    void CityIni();
    void showGeneral();
    void showLocationPage();
    void sliderChanged(int value);

    platform::SettingsStore &m_store;
    Context m_context;
    GeneralOptions m_general;
    calendar::LocationPage m_page;
    bool m_toTrayOnClose = false;
    calendar::Location m_location;

    QTabWidget *m_tabs = nullptr;
    QCheckBox *m_trayOnClose = nullptr;
    QWidget *m_trayPicture = nullptr;
    QCheckBox *m_autorun = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_percent = nullptr;
    QLabel *m_clock = nullptr;
    QLineEdit *m_name = nullptr;
    QComboBox *m_latitudeDegrees = nullptr;
    QComboBox *m_latitudeMinutes = nullptr;
    QComboBox *m_latitudeHemisphere = nullptr;
    QComboBox *m_longitudeDegrees = nullptr;
    QComboBox *m_longitudeMinutes = nullptr;
    QComboBox *m_longitudeHemisphere = nullptr;
};

} // namespace kelmor::options
