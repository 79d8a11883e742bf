#pragma once

// The "Весь сон" window: the user types or pastes a dream and, optionally, when it came; the
// report of every symbol in it shows below, in the viewer's style, with copy, print and find.

#include "calendar/location.h"
#include "dream/dream_report.h"
#include "viewer/interpretation.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QDateTimeEdit;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace kelmor::books {
class FormResolver;
}

namespace kelmor::viewer {
class InterpretationView;
class SearchForm;
} // namespace kelmor::viewer

namespace kelmor::dream {

class DreamWindow : public QWidget
{
    Q_OBJECT
public:
    // What the window reads from the main window.
    struct Context
    {
        // The books in catalogue order with their current enabled states.
        std::function<std::vector<viewer::InterpretationBook>()> books;
        // The resolver over the current word list.
        std::function<std::shared_ptr<const books::FormResolver>()> resolver;
        // The user's place for the calendar part.
        std::function<calendar::Location()> place;
    };

    // The report follows this long after the last change of the text or the moment.
    static constexpr int kPauseMs = 600;

    explicit DreamWindow(Context context, QWidget *owner = nullptr);
    ~DreamWindow() override;

    void setDreamText(const QString &text);
    QString dreamText() const;
    // The moment the dream came, local time; now when the window opens.
    void setMoment(const QDateTime &moment);
    QDateTime moment() const;

    // Reads the text and shows its report now (the button and Ctrl+Enter). When the resolver's
    // index is not built yet, it is built on a worker thread first and the report follows.
    void analyse();

    const DreamReport &report() const { return m_report; }
    viewer::InterpretationView *view() const { return m_view; }
    QString statusText() const;

    // Goes to the section a link of the report leads to; a cross-reference to a word that has
    // no section here is asked for with wordRequested().
    void followLink(const DreamReport::Link &link);

    void copyToClipboard();
    void print();
    void showFind();

Q_SIGNALS:
    // A cross-reference to a word the report has no section for (the main window may show its
    // interpretation in the viewer).
    void wordRequested(const QString &word);
    // A new report is shown.
    void reportShown();
    // "Сохранить в дневник": the dream's text should go into the dream journal.
    void saveToJournalRequested(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void scheduleAnalysis();
    void showReport(const books::FormResolver &resolver);
    void setStatus(const QString &text);

    Context m_context;
    QPlainTextEdit *m_text = nullptr;
    QDateTimeEdit *m_moment = nullptr;
    QPushButton *m_analyse = nullptr;
    QPushButton *m_saveToJournal = nullptr;
    viewer::InterpretationView *m_view = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_pause = nullptr;
    QFutureWatcher<void> m_preparing;
    QPointer<viewer::SearchForm> m_searchForm;
    DreamReport m_report;
};

} // namespace kelmor::dream
