#include "options/options_form.h"

#include "calendar/city_directory.h"
#include "calendar/sprav_city.h"
#include "platform/datetime_settings.h"
#include "platform/settings.h"
#include "platform/version.h"
#include "registry/registry.h"
#include "shell/autorun.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kelmor::options {

namespace {

Q_LOGGING_CATEGORY(lcOptions, "kelmor.options", QtWarningMsg)

// The window's icon, painted at the widget's size for the screen it is on (the heading picture
// and the small picture beside tray-on-close).
class IconPicture : public QWidget
{
public:
    IconPicture(int side, QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        window()->windowIcon().paint(&painter, rect());
    }
};

QComboBox *makeList(const QString &name, const QStringList &items, QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    // Long enough for the numbers of a list, so that nothing is cut at any font size.
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return list;
}

QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

OptionsForm::OptionsForm(platform::SettingsStore &store, Context context, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_context(std::move(context))
    , m_general(m_context.toTrayOnClose,
                (m_context.isAutorunOn ? m_context.isAutorunOn : shell::IsAutorunOn)(),
                m_context.menuTransparency)
    , m_toTrayOnClose(m_context.toTrayOnClose)
    , m_location(m_context.location)
{
    if (!m_context.setAutorun)
        m_context.setAutorun = shell::SetAutorun;
    if (m_context.cityFile.isEmpty())
        m_context.cityFile = calendar::CityFilePath();
    if (!m_context.now)
        m_context.now = [] { return QTime::currentTime(); };

    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Настройки"));
    setModal(true);

    auto *heading =
        makeLabel(QStringLiteral("Label3"), QStringLiteral("Настройки программы"), this);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.25);
    heading->setFont(headingFont);
    auto *headingRow = new QHBoxLayout;
    headingRow->addWidget(new IconPicture(32, this));
    headingRow->addWidget(heading, 1);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("TabStrip1"));
    m_tabs->addTab(buildGeneralPage(), QStringLiteral("Общие"));
    m_tabs->addTab(buildLocationPage(), QStringLiteral("Настройки местности"));

    auto *ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    connect(ok, &QPushButton::clicked, this, [this] {
        ApplySettings();
        accept();
    });
    // Esc cancels as well, through QDialog::reject.
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(headingRow);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The values: the check boxes with their rules, the slider with its rule run once, the
    // location page.
    showGeneral();
    {
        const QSignalBlocker blocker(m_slider);
        m_slider->setValue(m_general.sliderValue());
    }
    sliderChanged(m_slider->value());
    CityIni();
    SetTab(1);
}

OptionsForm::~OptionsForm() = default;

QWidget *OptionsForm::buildGeneralPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("Picture1"));

    m_trayOnClose =
        new QCheckBox(QStringLiteral("При закрытии сворачиваться в область уведомлений"), page);
    m_trayOnClose->setObjectName(QStringLiteral("Check1"));
    m_trayPicture = new IconPicture(16, page);
    m_trayPicture->setObjectName(QStringLiteral("Image4"));
    m_autorun = new QCheckBox(QStringLiteral("Автоматически загружаться вместе с Windows"), page);
    m_autorun->setObjectName(QStringLiteral("Check2"));

    auto *transparency = makeLabel(QStringLiteral("Label5"),
                                   QStringLiteral("Прозрачность контекстного меню:"), page);
    auto *platformNote = makeLabel(QStringLiteral("Label6"),
                                   QStringLiteral(" (только для Windows 2000/XP/Vista)"), page);
    platformNote->setForegroundRole(QPalette::PlaceholderText);
    m_slider = new QSlider(Qt::Horizontal, page);
    m_slider->setObjectName(QStringLiteral("Slider1"));
    m_slider->setRange(SliderMinimum, SliderMaximum);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(10);
    m_slider->setAccessibleName(transparency->text());
    transparency->setBuddy(m_slider);
    m_percent = makeLabel(QStringLiteral("Label1"), QStringLiteral("0 %"), page);
    // Room for the widest text, "86 %", so the slider does not move as the number changes.
    m_percent->setMinimumWidth(m_percent->fontMetrics().horizontalAdvance(QStringLiteral("888 %")));
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_clock = makeLabel(QStringLiteral("Label2"), QStringLiteral("1:23"), page);
    m_clock->installEventFilter(this);

    auto *trayRow = new QHBoxLayout;
    trayRow->addWidget(m_trayOnClose);
    trayRow->addWidget(m_trayPicture);
    trayRow->addStretch(1);
    auto *transparencyRow = new QHBoxLayout;
    transparencyRow->setSpacing(0);
    transparencyRow->addWidget(transparency);
    transparencyRow->addWidget(platformNote);
    transparencyRow->addStretch(1);
    auto *sliderRow = new QHBoxLayout;
    sliderRow->addWidget(m_slider, 1);
    sliderRow->addWidget(m_percent);
    auto *clockRow = new QHBoxLayout;
    clockRow->addStretch(1);
    clockRow->addWidget(m_clock);

    auto *layout = new QVBoxLayout(page);
    layout->addLayout(trayRow);
    layout->addWidget(m_autorun);
    layout->addSpacing(8);
    layout->addLayout(transparencyRow);
    layout->addLayout(sliderRow);
    layout->addStretch(1);
    layout->addLayout(clockRow);

    connect(m_trayOnClose, &QCheckBox::toggled, this, [this](bool on) {
        m_general.setTrayOnClose(on);
        showGeneral();
    });
    connect(m_autorun, &QCheckBox::toggled, this, [this](bool on) {
        m_general.setAutorun(on);
        showGeneral();
    });
    connect(m_slider, &QSlider::valueChanged, this, &OptionsForm::sliderChanged);
    return page;
}

QWidget *OptionsForm::buildLocationPage()
{
    using calendar::LocationPage;
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("Picture1"));

    auto *group = makeLabel(QStringLiteral("Label4"), QStringLiteral("Населенный пункт"), page);
    QFont bold = group->font();
    bold.setBold(true);
    group->setFont(bold);

    auto *nameLabel = makeLabel(QStringLiteral("Label7"), QStringLiteral("Название:"), page);
    m_name = new QLineEdit(page);
    m_name->setObjectName(QStringLiteral("Text1"));
    nameLabel->setBuddy(m_name);
    auto *directory = new QToolButton(page);
    directory->setObjectName(QStringLiteral("Toolbar1"));
    directory->setText(QStringLiteral(">>>"));
    directory->setToolTip(QStringLiteral("Справочник городов"));
    directory->setAccessibleName(directory->toolTip());

    auto *latitudeLabel = makeLabel(QStringLiteral("Label8"), QStringLiteral("Широта:"), page);
    m_latitudeDegrees =
        makeList(QStringLiteral("Combo7"), LocationPage::latitudeDegreeItems(), page);
    m_latitudeMinutes = makeList(QStringLiteral("Combo8"), LocationPage::minuteItems(), page);
    m_latitudeHemisphere =
        makeList(QStringLiteral("Combo9"), LocationPage::latitudeHemisphereItems(), page);
    latitudeLabel->setBuddy(m_latitudeDegrees);

    auto *longitudeLabel = makeLabel(QStringLiteral("Label9"), QStringLiteral("Долгота:"), page);
    m_longitudeDegrees =
        makeList(QStringLiteral("Combo12"), LocationPage::longitudeDegreeItems(), page);
    m_longitudeMinutes = makeList(QStringLiteral("Combo11"), LocationPage::minuteItems(), page);
    m_longitudeHemisphere =
        makeList(QStringLiteral("Combo10"), LocationPage::longitudeHemisphereItems(), page);
    longitudeLabel->setBuddy(m_longitudeDegrees);

    auto *dateTime =
        new QPushButton(QStringLiteral("Настройка даты, времени и часового пояса"), page);
    dateTime->setObjectName(QStringLiteral("Command4"));

    auto *grid = new QGridLayout;
    grid->addWidget(nameLabel, 0, 0);
    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(m_name, 1);
    nameRow->addWidget(directory);
    grid->addLayout(nameRow, 0, 1, 1, 4);
    const auto addCoordinateRow = [grid](int row, QLabel *label, QComboBox *degrees,
                                         QComboBox *minutes, QComboBox *hemisphere) {
        grid->addWidget(label, row, 0);
        grid->addWidget(degrees, row, 1);
        grid->addWidget(minutes, row, 2);
        grid->addWidget(hemisphere, row, 3);
    };
    addCoordinateRow(1, latitudeLabel, m_latitudeDegrees, m_latitudeMinutes, m_latitudeHemisphere);
    addCoordinateRow(2, longitudeLabel, m_longitudeDegrees, m_longitudeMinutes,
                     m_longitudeHemisphere);
    grid->setColumnStretch(4, 1);

    auto *dateTimeRow = new QHBoxLayout;
    dateTimeRow->addWidget(dateTime);
    dateTimeRow->addStretch(1);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(dateTimeRow);

    // The page follows what the user types and picks.
    connect(m_name, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_page.name = text; });
    const auto follow = [this](QComboBox *list, int calendar::LocationPage::*field) {
        connect(list, &QComboBox::currentIndexChanged, this,
                [this, field](int index) { m_page.*field = index; });
    };
    follow(m_latitudeDegrees, &LocationPage::latitudeDegrees);
    follow(m_latitudeMinutes, &LocationPage::latitudeMinutes);
    follow(m_latitudeHemisphere, &LocationPage::latitudeHemisphere);
    follow(m_longitudeDegrees, &LocationPage::longitudeDegrees);
    follow(m_longitudeMinutes, &LocationPage::longitudeMinutes);
    follow(m_longitudeHemisphere, &LocationPage::longitudeHemisphere);

    connect(directory, &QToolButton::clicked, this, &OptionsForm::openCityDirectory);
    connect(dateTime, &QPushButton::clicked, this, &OptionsForm::openDateTimeSettings);
    return page;
}

void OptionsForm::CityIni()
{
    m_page = calendar::LocationPage::CityIni(m_context.location, m_store);
    showLocationPage();
}

void OptionsForm::showGeneral()
{
    const QSignalBlocker trayBlocker(m_trayOnClose);
    const QSignalBlocker autorunBlocker(m_autorun);
    m_trayOnClose->setChecked(m_general.trayOnClose());
    m_trayOnClose->setEnabled(m_general.trayOnCloseEnabled());
    m_trayPicture->setVisible(m_general.trayPictureVisible());
    m_autorun->setChecked(m_general.autorun());
}

void OptionsForm::showLocationPage()
{
    // The lists' signals write the same values back into the page.
    const calendar::LocationPage page = m_page;
    m_name->setText(page.name);
    m_latitudeDegrees->setCurrentIndex(page.latitudeDegrees);
    m_latitudeMinutes->setCurrentIndex(page.latitudeMinutes);
    m_latitudeHemisphere->setCurrentIndex(page.latitudeHemisphere);
    m_longitudeDegrees->setCurrentIndex(page.longitudeDegrees);
    m_longitudeMinutes->setCurrentIndex(page.longitudeMinutes);
    m_longitudeHemisphere->setCurrentIndex(page.longitudeHemisphere);
    m_page = page;
}

void OptionsForm::sliderChanged(int value)
{
    m_general.setSliderValue(value);
    m_percent->setText(m_general.percentText());
    if (m_context.setMenuTransparency)
        m_context.setMenuTransparency(m_general.menuTransparency());
}

void OptionsForm::SetTab(int n)
{
    if (n < 1 || n > m_tabs->count())
        return;
    m_tabs->setCurrentIndex(n - 1);
}

int OptionsForm::tab() const
{
    return m_tabs->currentIndex() + 1;
}

void OptionsForm::ApplySettings()
{
    using platform::SettingsSection;
    m_location = m_page.ApplySettings(m_store);
    m_toTrayOnClose = m_general.trayOnClose();
    m_store.writeBool(SettingsSection, QStringLiteral("ToTray"), m_toTrayOnClose);
    m_store.writeInt(SettingsSection, QStringLiteral("MenuTransp"), m_general.menuTransparency());
    // The user is not told when the entry cannot be written or deleted.
    try {
        m_context.setAutorun(m_general.autorun());
    } catch (const registry::RegistryError &error) {
        qCWarning(lcOptions).noquote() << error.description();
    }
}

void OptionsForm::openCityDirectory()
{
    calendar::SpravCity directory(m_name->text(), m_context.cityFile, this);
    directory.exec();
    // Rows whose numbers lie outside the lists are never read from City.csv, so take() refuses
    // nothing the directory can offer.
    if (const auto choice = directory.chosen(); choice && m_page.take(*choice))
        showLocationPage();
}

void OptionsForm::openDateTimeSettings()
{
    const QString problem = platform::openDateTimeSettings();
    if (!problem.isEmpty())
        QMessageBox::warning(this, platform::ApplicationTitle, problem);
}

void OptionsForm::done(int result)
{
    for (QDialog *open : findChildren<QDialog *>()) {
        if (open->isVisible())
            open->reject();
    }
    QDialog::done(result);
}

bool OptionsForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_clock && event->type() == QEvent::MouseButtonDblClick) {
        m_clock->setText(m_context.now().toString(QStringLiteral("HH:mm")));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kelmor::options
