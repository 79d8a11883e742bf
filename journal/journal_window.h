#pragma once

// "Дневник снов": the list of entries with search and filters, the selected entry in the
// viewer's style with its symbols as links, new, edit, delete with undo, statistics, print,
// export and import. A journal that cannot be opened is said so, with the offer of a copy
// opened read-only.

#include "calendar/location.h"
#include "journal/entry_document.h"
#include "journal/journal_store.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class QToolButton;

namespace kelmor::books {
class FormResolver;
}

namespace kelmor::viewer {
class InterpretationView;
}

namespace kelmor::journal {

class JournalListModel;
class StatisticsWindow;

class JournalWindow : public QWidget
{
    Q_OBJECT
public:
    struct Context
    {
        // The journal's file; default: defaultJournalPath().
        QString path;
        // The user's place for new entries.
        std::function<calendar::Location()> place;
        // The word forms of the books, for the symbols of a dream.
        std::function<std::shared_ptr<const books::FormResolver>()> resolver;
        // Asks before an entry is deleted; default: a message box. True: delete.
        std::function<bool(QWidget *parent, const QString &question)> confirm;
        // Opens an entry dialog and returns whether it was accepted; default: exec().
        std::function<bool(QDialog &dialog)> runDialog;
        // The file names of export and import; default: the file dialogs. Empty: cancelled.
        std::function<QString(QWidget *parent, const QString &caption, const QString &filter,
                              bool save)>
            chooseFile;
    };

    explicit JournalWindow(Context context, QWidget *owner = nullptr);
    ~JournalWindow() override;

    // Opens the journal (again); a failure shows why, with the offer of a read-only copy.
    void openJournal();
    void openCopy();
    JournalStore *store() const { return m_store.get(); }
    // Why the journal is not open, or empty.
    QString problem() const;

    // A new entry for last night, with a text already written (the whole-dream window).
    void newEntry(const QString &text = {});
    void editSelected();
    // Asks, then deletes the selected entry; undoDelete() puts the last one back.
    void deleteSelected();
    void undoDelete();
    bool canUndoDelete() const { return m_lastDeleted.has_value(); }
    void showStatistics();
    void printSelected();
    void exportTo(const QString &path, bool markdown);
    void importFrom(const QString &path);

    // The list again, for the search and filters as they are.
    void refresh();
    JournalFilter filter() const;
    JournalListModel *model() const { return m_model; }
    QTableView *list() const { return m_list; }
    viewer::InterpretationView *view() const { return m_view; }
    const EntryDocument &document() const { return m_document; }
    std::optional<std::int64_t> selectedId() const;
    void selectId(std::int64_t id);
    QString statusText() const;
    StatisticsWindow *statisticsWindow() const;

Q_SIGNALS:
    // A symbol's link: the main window shows the headword's interpretation.
    void wordRequested(const QString &headword);
    // The journal changed (saved, deleted, imported).
    void changed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void showSelected();
    void showProblem(const QString &message, bool offerCopy);
    void updateActions();
    void setStatus(const QString &text);
    bool saveEntry(JournalEntry &entry);
    void editEntry(const JournalEntry &entry);
    void startBackup();
    void reportFailure(const QString &message);

    Context m_context;
    std::unique_ptr<JournalStore> m_store;
    std::optional<JournalEntry> m_lastDeleted;
    EntryDocument m_document;

    JournalListModel *m_model = nullptr;
    QTableView *m_list = nullptr;
    viewer::InterpretationView *m_view = nullptr;
    QFrame *m_problemFrame = nullptr;
    QLabel *m_problem = nullptr;
    QPushButton *m_openCopy = nullptr;
    QLineEdit *m_search = nullptr;
    QCheckBox *m_fromEnabled = nullptr;
    QDateEdit *m_from = nullptr;
    QCheckBox *m_toEnabled = nullptr;
    QDateEdit *m_to = nullptr;
    QComboBox *m_lunarDay = nullptr;
    QComboBox *m_outcome = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_searchTimer = nullptr;
    QToolButton *m_new = nullptr;
    QToolButton *m_edit = nullptr;
    QToolButton *m_delete = nullptr;
    QToolButton *m_undo = nullptr;
    QToolButton *m_print = nullptr;
    QToolButton *m_export = nullptr;
    QToolButton *m_import = nullptr;
    QToolButton *m_statisticsButton = nullptr;
    QPointer<StatisticsWindow> m_statistics;
};

} // namespace kelmor::journal
