// The options window: its controls and texts, the check box and slider rules as the user meets
// them, "Ok" storing everything (autorun as a real autostart entry in a scratch
// XDG_CONFIG_HOME), "Отмена" storing nothing, the tabs, the city directory and the date and time
// settings.

#include "calendar/sprav_city.h"
#include "options/options_form.h"
#include "platform/datetime_settings.h"
#include "platform/settings.h"
#include "registry/registry.h"
#include "registry/registry_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

using namespace kelmor::platform;
using kelmor::calendar::Location;
using kelmor::calendar::SpravCity;
using kelmor::options::OptionsForm;
using kelmor::testing::ScratchConfig;

namespace {

const char Cities[] = "\"Город\",\"Долгота\",\"Минуты\",\"Широта\",\"Минуты\",\"Юг\",\"Запад\"\n"
                      "\"Владивосток\",131,54,43,7,0,0\n"
                      "\"Москва\",37,35,55,45,0,0\n"
                      "\"Сидней\",151,13,33,52,1,0\n"
                      "\"Апиа\",171,45,13,50,1,1\n";

// Runs action on the modal window of type W once it is up (inside its exec); a window that does
// not come up within five seconds fails the test, and whatever modal window is up is closed so
// the test ends.
template <typename W> void whenModal(std::function<void(W *)> action, int triesLeft = 250)
{
    QTimer::singleShot(20, [action, triesLeft] {
        if (auto *window = qobject_cast<W *>(QApplication::activeModalWidget())) {
            action(window);
            return;
        }
        if (triesLeft > 0) {
            whenModal<W>(action, triesLeft - 1);
            return;
        }
        ADD_FAILURE() << "no modal " << W::staticMetaObject.className();
        if (QWidget *other = QApplication::activeModalWidget())
            other->close();
    });
}

class OptionsFormTest : public ::testing::Test
{
protected:
    ScratchConfig config{"kelmor-options-"};
    QTemporaryDir dir;
    SettingsStore store = SettingsStore::atFile(dir.filePath(QStringLiteral("settings.conf")));
    QList<int> opacities;

    OptionsForm::Context context(int menuTransparency = 205, bool toTray = false)
    {
        OptionsForm::Context c;
        c.toTrayOnClose = toTray;
        c.menuTransparency = menuTransparency;
        c.setMenuTransparency = [this](int value) { opacities << value; };
        c.cityFile = dir.filePath(QStringLiteral("City.csv"));
        ScratchConfig::write(c.cityFile, Cities);
        return c;
    }

    QString stored(const QString &section, const char *key)
    {
        store.sync();
        QSettings raw(store.fileName(), QSettings::IniFormat);
        return raw.value(section + QLatin1Char('/') + QLatin1String(key)).toString();
    }
    QStringList storedKeys()
    {
        store.sync();
        return QSettings(store.fileName(), QSettings::IniFormat).allKeys();
    }

    QString autostartEntry() const
    {
        return QString::fromUtf8(ScratchConfig::read(config.autostart("ZELKelmor3.desktop")));
    }

    template <typename W = QWidget> static W *control(const QWidget &form, const char *name)
    {
        auto *w = form.findChild<W *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static QString text(const QWidget &form, const char *name)
    {
        const QWidget *w = control(form, name);
        if (const auto *label = qobject_cast<const QLabel *>(w))
            return label->text();
        if (const auto *button = qobject_cast<const QAbstractButton *>(w))
            return button->text();
        if (const auto *edit = qobject_cast<const QLineEdit *>(w))
            return edit->text();
        if (const auto *list = qobject_cast<const QComboBox *>(w))
            return list->currentText();
        return {};
    }
};

} // namespace

TEST_F(OptionsFormTest, OpensWithEveryControlAndText)
{
    OptionsForm form(store, context());
    EXPECT_EQ(form.windowTitle(), "Настройки");
    EXPECT_TRUE(form.isModal());
    const struct
    {
        const char *name;
        const char *text;
    } texts[] = {
        {"Label3", "Настройки программы"},
        {"Check1", "При закрытии сворачиваться в область уведомлений"},
        {"Check2", "Автоматически загружаться вместе с Windows"},
        {"Label5", "Прозрачность контекстного меню:"},
        {"Label6", " (только для Windows 2000/XP/Vista)"},
        {"Label1", "19 %"},
        {"Label2", "1:23"},
        {"Label4", "Населенный пункт"},
        {"Label7", "Название:"},
        {"Text1", "Москва"},
        {"Label8", "Широта:"},
        {"Combo7", "55°"},
        {"Combo8", "45'"},
        {"Combo9", "С.ш."},
        {"Label9", "Долгота:"},
        {"Combo12", "37°"},
        {"Combo11", "35'"},
        {"Combo10", "В.д."},
        {"Toolbar1", ">>>"},
        {"Command4", "Настройка даты, времени и часового пояса"},
        {"Command1", "Ok"},
        {"Command2", "Отмена"},
    };
    for (const auto &t : texts)
        EXPECT_EQ(text(form, t.name), QString::fromUtf8(t.text)) << t.name;
    EXPECT_EQ(control(form, "Toolbar1")->toolTip(), "Справочник городов");

    auto *tabs = control<QTabWidget>(form, "TabStrip1");
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "Общие");
    EXPECT_EQ(tabs->tabText(1), "Настройки местности");
    EXPECT_EQ(form.tab(), 1);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(tabs->widget(i)->objectName(), "Picture1");

    const struct
    {
        const char *name;
        int count;
        const char *last;
    } lists[] = {
        {"Combo7", 91, "90°"},    {"Combo8", 60, "59'"},  {"Combo9", 2, "Ю.ш."},
        {"Combo12", 181, "180°"}, {"Combo11", 60, "59'"}, {"Combo10", 2, "З.д."},
    };
    for (const auto &l : lists) {
        auto *list = control<QComboBox>(form, l.name);
        EXPECT_EQ(list->count(), l.count) << l.name;
        EXPECT_EQ(list->itemText(list->count() - 1), QString::fromUtf8(l.last)) << l.name;
    }

    // A stored 205 puts the slider at 50; the popup gets its opacity as the window opens.
    auto *slider = control<QSlider>(form, "Slider1");
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 220);
    EXPECT_EQ(slider->value(), 50);
    EXPECT_EQ(opacities, QList<int>{205});
    // Tray-on-close off: its picture hidden.
    EXPECT_FALSE(control<QCheckBox>(form, "Check1")->isChecked());
    EXPECT_TRUE(control(form, "Image4")->isHidden());
}

TEST_F(OptionsFormTest, StoredNoTransparencyShowsZeroPercent)
{
    for (const int stored : {0, 255}) {
        opacities.clear();
        OptionsForm form(store, context(stored));
        EXPECT_EQ(control<QSlider>(form, "Slider1")->value(), 0) << stored;
        EXPECT_EQ(text(form, "Label1"), "0 %") << stored;
        EXPECT_EQ(opacities, QList<int>{255}) << stored;
    }
}

// Autorun at logon, read from and written to a real autostart entry in a scratch folder.
TEST_F(OptionsFormTest, AutorunForcesTrayOnCloseAndOkWritesTheEntry)
{
    {
        OptionsForm form(store, context());
        auto *tray = control<QCheckBox>(form, "Check1");
        auto *autorun = control<QCheckBox>(form, "Check2");
        form.show();
        EXPECT_FALSE(autorun->isChecked());
        QTest::mouseClick(autorun, Qt::LeftButton, {}, QPoint(6, autorun->height() / 2));
        EXPECT_TRUE(autorun->isChecked());
        EXPECT_TRUE(tray->isChecked());
        EXPECT_FALSE(tray->isEnabled());
        EXPECT_TRUE(control(form, "Image4")->isVisible());
        control<QPushButton>(form, "Command1")->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_TRUE(form.toTrayOnClose());
    }
    EXPECT_EQ(stored(SettingsSection, "ToTray"), "True");
    const QString entry = autostartEntry();
    EXPECT_TRUE(entry.contains(QStringLiteral(" /tray\n"))) << entry.toStdString();

    // Opened again with autorun on: both checked, tray-on-close disabled; autorun off enables it
    // again, still checked.
    {
        OptionsForm form(store, context(205, false));
        auto *tray = control<QCheckBox>(form, "Check1");
        auto *autorun = control<QCheckBox>(form, "Check2");
        EXPECT_TRUE(autorun->isChecked());
        EXPECT_TRUE(tray->isChecked());
        EXPECT_FALSE(tray->isEnabled());
        autorun->click();
        EXPECT_TRUE(tray->isEnabled());
        EXPECT_TRUE(tray->isChecked());
        tray->click();
        EXPECT_FALSE(tray->isChecked());
        EXPECT_TRUE(control(form, "Image4")->isHidden());
        control<QPushButton>(form, "Command1")->click();
    }
    EXPECT_EQ(stored(SettingsSection, "ToTray"), "False");
    EXPECT_FALSE(QFile::exists(config.autostart("ZELKelmor3.desktop")));
}

TEST_F(OptionsFormTest, CancelKeepsTheLiveTransparencyButStoresNothing)
{
    OptionsForm form(store, context(205, true));
    form.show();
    auto *slider = control<QSlider>(form, "Slider1");
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(slider->value(), 220);
    EXPECT_EQ(text(form, "Label1"), "86 %");
    EXPECT_EQ(opacities.last(), 35);
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(opacities.last(), 36);

    control<QCheckBox>(form, "Check1")->click();
    control<QCheckBox>(form, "Check2")->click();
    control<QComboBox>(form, "Combo9")->setCurrentIndex(1);
    control<QPushButton>(form, "Command2")->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(opacities.last(), 36);
    EXPECT_TRUE(storedKeys().isEmpty()) << storedKeys().join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(config.autostart("ZELKelmor3.desktop")));
    // The values it hands back are still those it opened with.
    EXPECT_TRUE(form.toTrayOnClose());
    EXPECT_EQ(form.location().latitude, Location().latitude);
}

TEST_F(OptionsFormTest, OkStoresThePageThenTheGeneralValuesThenAutorun)
{
    OptionsForm::Context c = context(205, true);
    // Autorun comes last: by then everything else has been written.
    QStringList keysBeforeAutorun;
    c.setAutorun = [this, &keysBeforeAutorun](bool) {
        keysBeforeAutorun = storedKeys();
        // A failing write is not the user's business: the window still closes.
        throw kelmor::registry::RegistryError(5, QStringLiteral("Отказано в доступе"));
    };
    c.isAutorunOn = [] { return false; };
    OptionsForm form(store, std::move(c));
    form.SetTab(2);
    auto *name = control<QLineEdit>(form, "Text1");
    name->clear();
    for (const QChar ch : QStringLiteral("Ушуайя"))
        QTest::sendKeyEvent(QTest::Click, name, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    control<QComboBox>(form, "Combo7")->setCurrentIndex(54);
    control<QComboBox>(form, "Combo8")->setCurrentIndex(48);
    control<QComboBox>(form, "Combo9")->setCurrentIndex(1);
    control<QComboBox>(form, "Combo12")->setCurrentIndex(68);
    control<QComboBox>(form, "Combo11")->setCurrentIndex(18);
    control<QComboBox>(form, "Combo10")->setCurrentIndex(1);
    control<QSlider>(form, "Slider1")->setValue(100);
    control<QPushButton>(form, "Command1")->click();

    EXPECT_EQ(form.result(), QDialog::Accepted);
    QStringList everything = {
        "Kelmor3/MenuTransp",     "Kelmor3/ToTray",  "UserLocation/CityName",
        "UserLocation/DGraduses", "UserLocation/DM", "UserLocation/DMinutes",
        "UserLocation/SGraduses", "UserLocation/SM", "UserLocation/SMinutes",
    };
    keysBeforeAutorun.sort();
    EXPECT_EQ(keysBeforeAutorun, everything);
    EXPECT_EQ(stored(LocationSection, "CityName"), "Ушуайя");
    EXPECT_EQ(stored(LocationSection, "SM"), "-1");
    EXPECT_EQ(stored(LocationSection, "DM"), "-1");
    EXPECT_EQ(stored(SettingsSection, "MenuTransp"), "155");
    EXPECT_EQ(stored(SettingsSection, "ToTray"), "True");
    EXPECT_EQ(form.location().cityName, "Ушуайя");
    EXPECT_EQ(form.location().latitude, -548000);
    EXPECT_EQ(form.location().longitude, -683000);
    EXPECT_EQ(form.menuTransparency(), 155);
}

TEST_F(OptionsFormTest, SetTabShowsThePageOfTheTab)
{
    OptionsForm form(store, context());
    form.SetTab(2);
    form.show();
    EXPECT_EQ(form.tab(), 2);
    EXPECT_TRUE(control(form, "Text1")->isVisible());
    EXPECT_FALSE(control(form, "Check1")->isVisible());
    // Numbers of no tab change nothing.
    for (const int n : {0, 3, -1}) {
        form.SetTab(n);
        EXPECT_EQ(form.tab(), 2) << n;
    }
    form.SetTab(1);
    EXPECT_TRUE(control(form, "Check1")->isVisible());
    EXPECT_FALSE(control(form, "Text1")->isVisible());
}

TEST_F(OptionsFormTest, TheCityDirectoryFillsThePageButStoresNothing)
{
    OptionsForm form(store, context());
    form.SetTab(2);
    form.show();

    // The directory opens on the settlement of the page, and a choice there fills the page.
    QString selectedAtOpening;
    whenModal<SpravCity>([&](SpravCity *directory) {
        selectedAtOpening = directory->model()->records().value(directory->selectedRow()).name;
        auto *search = directory->findChild<QLineEdit *>(QStringLiteral("Text1"));
        search->clear();
        for (const QChar ch : QStringLiteral("апи"))
            QTest::sendKeyEvent(QTest::Click, search, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        directory->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    });
    control<QToolButton>(form, "Toolbar1")->click();
    EXPECT_EQ(selectedAtOpening, "Москва");
    const struct
    {
        const char *name;
        const char *text;
    } page[] = {
        {"Text1", "Апиа"},   {"Combo7", "13°"},  {"Combo8", "50'"},   {"Combo9", "Ю.ш."},
        {"Combo12", "171°"}, {"Combo11", "45'"}, {"Combo10", "З.д."},
    };
    for (const auto &p : page)
        EXPECT_EQ(text(form, p.name), QString::fromUtf8(p.text)) << p.name;
    EXPECT_TRUE(storedKeys().isEmpty());

    // Closed without a choice, the page stays.
    whenModal<SpravCity>([](SpravCity *directory) {
        directory->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    });
    control<QToolButton>(form, "Toolbar1")->click();
    EXPECT_EQ(text(form, "Text1"), "Апиа");

    // Closing the options from outside while the directory is open closes both.
    bool directoryWasOpen = false;
    whenModal<SpravCity>([&](SpravCity *directory) {
        directoryWasOpen = directory->isVisible();
        form.reject();
        // Should the directory stay open, the test fails instead of waiting for it forever.
        QTimer::singleShot(2000, directory, [directory] {
            ADD_FAILURE() << "the city directory stayed open";
            directory->reject();
        });
    });
    control<QToolButton>(form, "Toolbar1")->click();
    EXPECT_TRUE(directoryWasOpen);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.findChildren<SpravCity *>().isEmpty() ||
                !form.findChildren<SpravCity *>().front()->isVisible());
    EXPECT_EQ(text(form, "Text1"), "Апиа");
    form.show();

    // "Ok" stores the chosen place.
    control<QPushButton>(form, "Command1")->click();
    EXPECT_EQ(stored(LocationSection, "CityName"), "Апиа");
    EXPECT_EQ(form.location().latitude, -138333);
    EXPECT_EQ(form.location().longitude, -1717500);
}

TEST_F(OptionsFormTest, DateAndTimeSettingsOpenOrSaySoWhenThereAreNone)
{
    OptionsForm form(store, context());
    form.SetTab(2);
    form.show();
    int opened = 0;
    setDateTimeSettingsOpener([&opened] {
        ++opened;
        return QString();
    });
    control<QPushButton>(form, "Command4")->click();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(form.isVisible());

    setDateTimeSettingsOpener([] { return QStringLiteral("Не найдена программа настройки."); });
    QString shown;
    whenModal<QMessageBox>([&shown](QMessageBox *box) {
        shown = box->text();
        box->accept();
    });
    control<QPushButton>(form, "Command4")->click();
    setDateTimeSettingsOpener({});
    EXPECT_EQ(shown, "Не найдена программа настройки.");
    EXPECT_TRUE(form.isVisible());
}

TEST_F(OptionsFormTest, DoubleClickOnTheClockShowsTheTime)
{
    OptionsForm::Context c = context();
    c.now = [] { return QTime(7, 5, 59); };
    OptionsForm form(store, std::move(c));
    form.show();
    auto *clock = control(form, "Label2");
    QTest::mouseDClick(clock, Qt::LeftButton);
    EXPECT_EQ(text(form, "Label2"), "07:05");
}
