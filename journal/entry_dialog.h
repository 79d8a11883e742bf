#pragma once

// The dialog that writes or edits one journal entry: the night (or one moment) with a preview of
// its lunar days, the title, the dream's text, tags, mood and outcome.

#include "calendar/location.h"
#include "journal/journal_entry.h"

#include <QDialog>
#include <QTimeZone>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTimer;

namespace kelmor::books {
class FormResolver;
}

namespace kelmor::journal {

class EntryDialog : public QDialog
{
    Q_OBJECT
public:
    struct Context
    {
        // The place a new entry's meanings are computed for.
        std::function<calendar::Location()> place;
        // Finds the symbols of the text; none: entries get no symbols.
        std::function<std::shared_ptr<const books::FormResolver>()> resolver;
        // The zone of a new entry; default: the system's.
        QTimeZone zone = QTimeZone::systemTimeZone();
    };

    // `entry`: the entry to edit, or a new one (id 0) with its night and text filled in.
    EntryDialog(Context context, const JournalEntry &entry, QWidget *parent = nullptr);

    // The entry as edited, with its meanings and symbols computed where the night or the text
    // changed. Valid after the dialog was accepted.
    const JournalEntry &entry() const { return m_entry; }

    // Checks the fields and builds the entry; false (and the reason shown) when they do not fit.
    bool collect();
    // The lunar days the preview shows (for the fields as they are now).
    QString previewText() const;
    void updatePreview();

    void accept() override;

private:
    // The fields' local clock times in the entry's zone, as instants.
    std::int64_t instantOf(const QDateTimeEdit *edit) const;
    void setLocal(QDateTimeEdit *edit, std::int64_t instant);
    bool computeNight(JournalEntry &entry, QString *error) const;
    void updateOutcomeFields();

    Context m_context;
    JournalEntry m_original;
    JournalEntry m_entry;
    QTimeZone m_zone;

    QLineEdit *m_title = nullptr;
    QRadioButton *m_night = nullptr;
    QRadioButton *m_moment = nullptr;
    QDateTimeEdit *m_fellAsleep = nullptr;
    QDateTimeEdit *m_wokeUp = nullptr;
    QLabel *m_wokeUpLabel = nullptr;
    QLabel *m_preview = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QLineEdit *m_tags = nullptr;
    QComboBox *m_mood = nullptr;
    QComboBox *m_outcome = nullptr;
    QCheckBox *m_outcomeDated = nullptr;
    QDateEdit *m_outcomeDate = nullptr;
    QLineEdit *m_outcomeNote = nullptr;
    QLabel *m_error = nullptr;
    QTimer *m_previewTimer = nullptr;
};

// The zone an entry's times are shown in: its own, else its fixed offset.
QTimeZone entryZone(const JournalEntry &entry);

} // namespace kelmor::journal
