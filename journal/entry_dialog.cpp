#include "journal/entry_dialog.h"

#include "books/word_forms.h"
#include "calendar/sleep_window.h"
#include "dream/dream_analysis.h"
#include "journal/entry_document.h"
#include "platform/qt_timezone.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kelmor::journal {

namespace {

QDateTimeEdit *momentEdit(QWidget *parent, const QString &name)
{
    auto *edit = new QDateTimeEdit(parent);
    edit->setObjectName(name);
    // A plain date and time of the entry's zone: the edit holds them as UTC fields so that the
    // system zone's gaps and repeats never move them.
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat(QStringLiteral("dd MMMM yyyy  HH:mm"));
    edit->setCalendarPopup(true);
    edit->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    edit->setMinimumDate(QDate(1583, 1, 1));
    return edit;
}

} // namespace

QTimeZone entryZone(const JournalEntry &entry)
{
    QTimeZone zone(entry.timeZone.toUtf8());
    if (!entry.timeZone.isEmpty() && zone.isValid())
        return zone;
    return QTimeZone(entry.wokeUpOffset);
}

EntryDialog::EntryDialog(Context context, const JournalEntry &entry, QWidget *parent)
    : QDialog(parent)
    , m_context(std::move(context))
    , m_original(entry)
    , m_entry(entry)
    , m_zone(entry.id != 0 ? entryZone(entry) : m_context.zone)
{
    setObjectName(QStringLiteral("EntryDialog"));
    setWindowTitle(entry.id != 0 ? QStringLiteral("Изменить запись дневника")
                                 : QStringLiteral("Новая запись дневника"));
    setMinimumWidth(560);

    m_title = new QLineEdit(entry.title, this);
    m_title->setObjectName(QStringLiteral("EntryTitle"));
    m_title->setPlaceholderText(QStringLiteral("Коротко, о чём сон"));

    m_night = new QRadioButton(QStringLiteral("Ночь"), this);
    m_night->setObjectName(QStringLiteral("EntryNight"));
    m_moment = new QRadioButton(QStringLiteral("Один момент"), this);
    m_moment->setObjectName(QStringLiteral("EntryMoment"));
    (entry.moment ? m_moment : m_night)->setChecked(true);
    m_fellAsleep = momentEdit(this, QStringLiteral("EntryFellAsleep"));
    m_wokeUp = momentEdit(this, QStringLiteral("EntryWokeUp"));
    setLocal(m_fellAsleep, entry.fellAsleep);
    setLocal(m_wokeUp, entry.moment ? entry.fellAsleep : entry.wokeUp);
    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("EntryLunarDays"));
    m_preview->setWordWrap(true);
    m_preview->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_text = new QPlainTextEdit(entry.text, this);
    m_text->setObjectName(QStringLiteral("EntryText"));
    m_text->setTabChangesFocus(true);
    m_text->setPlaceholderText(QStringLiteral("Что приснилось"));
    m_tags = new QLineEdit(entry.tags.join(QStringLiteral(", ")), this);
    m_tags->setObjectName(QStringLiteral("EntryTags"));
    m_tags->setPlaceholderText(QStringLiteral("через запятую: работа, море"));
    m_mood = new QComboBox(this);
    m_mood->setObjectName(QStringLiteral("EntryMood"));
    m_mood->addItem(QStringLiteral("не указано"));
    for (int i = 1; i <= 5; ++i)
        m_mood->addItem(QString::number(i));
    m_mood->setCurrentIndex(std::clamp(entry.mood, 0, 5));

    m_outcome = new QComboBox(this);
    m_outcome->setObjectName(QStringLiteral("EntryOutcome"));
    for (Outcome o : {Outcome::Unknown, Outcome::CameTrue, Outcome::DidNotComeTrue})
        m_outcome->addItem(outcomeText(o), int(o));
    m_outcome->setCurrentIndex(m_outcome->findData(int(entry.outcome)));
    m_outcomeDated = new QCheckBox(QStringLiteral("когда:"), this);
    m_outcomeDated->setObjectName(QStringLiteral("EntryOutcomeDated"));
    m_outcomeDate =
        new QDateEdit(entry.outcomeDate.isValid() ? entry.outcomeDate : QDate::currentDate(), this);
    m_outcomeDate->setObjectName(QStringLiteral("EntryOutcomeDate"));
    m_outcomeDate->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    m_outcomeDate->setCalendarPopup(true);
    m_outcomeDate->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    m_outcomeDated->setChecked(entry.outcomeDate.isValid());
    m_outcomeNote = new QLineEdit(entry.outcomeNote, this);
    m_outcomeNote->setObjectName(QStringLiteral("EntryOutcomeNote"));
    m_outcomeNote->setPlaceholderText(QStringLiteral("как сбылся или что случилось"));

    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("EntryError"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #c0392b; font-weight: bold;"));
    m_error->hide();

    auto *kind = new QHBoxLayout;
    kind->addWidget(m_night);
    kind->addWidget(m_moment);
    kind->addStretch(1);
    auto *times = new QHBoxLayout;
    auto *fellLabel = new QLabel(QStringLiteral("заснул:"), this);
    fellLabel->setBuddy(m_fellAsleep);
    times->addWidget(fellLabel);
    times->addWidget(m_fellAsleep);
    m_wokeUpLabel = new QLabel(QStringLiteral("проснулся:"), this);
    m_wokeUpLabel->setBuddy(m_wokeUp);
    times->addWidget(m_wokeUpLabel);
    times->addWidget(m_wokeUp);
    times->addStretch(1);
    auto *outcome = new QHBoxLayout;
    outcome->addWidget(m_outcome);
    outcome->addWidget(m_outcomeDated);
    outcome->addWidget(m_outcomeDate);
    outcome->addWidget(m_outcomeNote, 1);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("&Название:"), m_title);
    auto *kindLabel = new QLabel(QStringLiteral("&Когда:"), this);
    kindLabel->setBuddy(m_night);
    form->addRow(kindLabel, kind);
    form->addRow(QString(), times);
    form->addRow(QStringLiteral("Лунные дни:"), m_preview);
    form->addRow(QStringLiteral("&Сон:"), m_text);
    form->addRow(QStringLiteral("&Метки:"), m_tags);
    form->addRow(QStringLiteral("Н&астроение:"), m_mood);
    auto *outcomeLabel = new QLabel(QStringLiteral("С&былся ли:"), this);
    outcomeLabel->setBuddy(m_outcome);
    form->addRow(outcomeLabel, outcome);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Сохранить"));
    buttons->button(QDialogButtonBox::Save)->setObjectName(QStringLiteral("EntrySave"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &EntryDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &EntryDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addWidget(m_error);
    layout->addWidget(buttons);

    m_previewTimer = new QTimer(this);
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(300);
    connect(m_previewTimer, &QTimer::timeout, this, &EntryDialog::updatePreview);
    const auto schedule = [this] { m_previewTimer->start(); };
    connect(m_fellAsleep, &QDateTimeEdit::dateTimeChanged, this, schedule);
    connect(m_wokeUp, &QDateTimeEdit::dateTimeChanged, this, schedule);
    connect(m_night, &QRadioButton::toggled, this, [this, schedule] {
        m_wokeUp->setEnabled(m_night->isChecked());
        m_wokeUpLabel->setEnabled(m_night->isChecked());
        schedule();
    });
    connect(m_outcome, &QComboBox::currentIndexChanged, this, &EntryDialog::updateOutcomeFields);
    connect(m_outcomeDated, &QCheckBox::toggled, this, &EntryDialog::updateOutcomeFields);
    m_wokeUp->setEnabled(m_night->isChecked());
    m_wokeUpLabel->setEnabled(m_night->isChecked());
    updateOutcomeFields();
    updatePreview();
    (entry.text.isEmpty() ? static_cast<QWidget *>(m_text) : m_title)->setFocus();
}

void EntryDialog::updateOutcomeFields()
{
    const bool known = m_outcome->currentData().toInt() != int(Outcome::Unknown);
    m_outcomeDated->setEnabled(known);
    m_outcomeDate->setEnabled(known && m_outcomeDated->isChecked());
}

std::int64_t EntryDialog::instantOf(const QDateTimeEdit *edit) const
{
    const QDateTime fields = edit->dateTime();
    return QDateTime(fields.date(), QTime(fields.time().hour(), fields.time().minute()), m_zone)
        .toSecsSinceEpoch();
}

void EntryDialog::setLocal(QDateTimeEdit *edit, std::int64_t instant)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(instant, m_zone);
    edit->setDateTime(QDateTime(local.date(), local.time(), Qt::UTC));
}

bool EntryDialog::computeNight(JournalEntry &e, QString *error) const
{
    e.moment = m_moment->isChecked();
    e.fellAsleep = instantOf(m_fellAsleep);
    e.wokeUp = e.moment ? e.fellAsleep : instantOf(m_wokeUp);
    if (e.wokeUp <= e.fellAsleep && !e.moment) {
        *error = QStringLiteral("Время пробуждения должно быть позже времени засыпания.");
        return false;
    }
    if (e.wokeUp - e.fellAsleep > calendar::kMaxSleepSeconds) {
        *error = QStringLiteral("Ночь не может быть длиннее двух суток.");
        return false;
    }
    const bool sameNight = m_original.id != 0 && e.moment == m_original.moment &&
                           e.fellAsleep == m_original.fellAsleep && e.wokeUp == m_original.wokeUp &&
                           !m_original.lunarDays.empty();
    if (sameNight)
        return true;
    // An edited night is counted again where and in the zone the entry was written for; a new
    // one at the user's place now.
    const calendar::Location place =
        m_original.id != 0 ? entryPlace(m_original)
                           : (m_context.place ? m_context.place() : calendar::Location{});
    try {
        const platform::QtTimeZoneProvider zone(m_zone);
        computeMeanings(e, place, zone, zoneName(m_zone));
    } catch (const std::exception &ex) {
        *error = QStringLiteral("Не удалось рассчитать лунные дни: %1")
                     .arg(QString::fromUtf8(ex.what()));
        return false;
    }
    return true;
}

QString EntryDialog::previewText() const
{
    return m_preview->text();
}

void EntryDialog::updatePreview()
{
    m_previewTimer->stop();
    JournalEntry e = m_original;
    QString error;
    if (!computeNight(e, &error)) {
        m_preview->setText(error);
        return;
    }
    QStringList lines;
    for (const LunarDayLine &l : lunarDayLines(e.lunarDays))
        lines.append(l.heading + QStringLiteral(": ") + l.meaning);
    lines.append(QStringLiteral("Утро: %1, %2-е число").arg(e.weekDayName()).arg(e.monthDay));
    m_preview->setText(lines.join(u'\n'));
}

bool EntryDialog::collect()
{
    JournalEntry e = m_original;
    QString error;
    const auto refuse = [this](const QString &why) {
        m_error->setText(why);
        m_error->show();
        return false;
    };
    e.title = m_title->text().simplified();
    e.text = m_text->toPlainText().trimmed();
    if (e.title.isEmpty() && e.text.isEmpty())
        return refuse(QStringLiteral("Напишите, что приснилось, или хотя бы название сна."));
    if (!computeNight(e, &error))
        return refuse(error);
    e.tags = parseTags(m_tags->text());
    e.mood = m_mood->currentIndex();
    e.outcome = Outcome(m_outcome->currentData().toInt());
    e.outcomeDate = e.outcome != Outcome::Unknown && m_outcomeDated->isChecked()
                        ? m_outcomeDate->date()
                        : QDate();
    e.outcomeNote = m_outcomeNote->text().trimmed();
    if (e.id == 0 || e.text != m_original.text) {
        const std::shared_ptr<const books::FormResolver> resolver =
            m_context.resolver ? m_context.resolver() : nullptr;
        e.symbols.clear();
        if (resolver) {
            if (!resolver->isPrepared()) {
                QApplication::setOverrideCursor(Qt::WaitCursor);
                resolver->prepare();
                QApplication::restoreOverrideCursor();
            }
            for (const dream::DreamSymbol &s : dream::analyseDream(e.text, *resolver).symbols)
                e.symbols.append(s.headword);
        }
    }
    m_error->hide();
    m_entry = e;
    return true;
}

void EntryDialog::accept()
{
    if (collect())
        QDialog::accept();
}

} // namespace kelmor::journal
