#pragma once

// The "Поиск по толкованиям" window: a query field, the result rows (headword, book, snippet
// with the matched words in bold), the indexing progress and a status line. Enter or a double
// click on a row asks for that headword's interpretation.

#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;
class QTreeView;

namespace kelmor::fulltext {

class FulltextResultsModel;
class FulltextSearch;

class FulltextWindow : public QWidget
{
    Q_OBJECT
public:
    // The search runs this long after the last key typed.
    static constexpr int kPauseMs = 250;

    // search must outlive the window.
    explicit FulltextWindow(FulltextSearch &search, QWidget *owner = nullptr);
    ~FulltextWindow() override;

    void setQueryText(const QString &text);
    QString queryText() const;
    // Searches for the field's text now (also what typing leads to after a pause).
    void searchNow();

    FulltextResultsModel *model() const { return m_model; }
    QString statusText() const;
    // Asks for the headword of a result row.
    void openRow(int row);

Q_SIGNALS:
    void headwordRequested(const QString &headword);
    // The rows of a new search are shown.
    void resultsShown();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void updateProgress();
    void fitColumns();

    FulltextSearch &m_search;
    QLineEdit *m_field = nullptr;
    QTreeView *m_results = nullptr;
    FulltextResultsModel *m_model = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_note = nullptr;
    QTimer *m_pause = nullptr;
    QString m_searched; // the text of the rows shown
    bool m_searchedOnce = false;
};

} // namespace kelmor::fulltext
