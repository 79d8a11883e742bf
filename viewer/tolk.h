#pragma once

// The viewer window: one interpretation document with links, history, find, copy and print.

#include "viewer/interpretation.h"
#include "viewer/rtf_reader.h"

#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QTextEdit>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QFrame;
class QMenu;
class QToolBar;
class QToolButton;

namespace kelmor::platform {
class SettingsStore;
}

namespace kelmor::viewer {

class SearchForm;

// The read-only view of the document. It keeps the plain text it shows and its
// formatting, so hit-testing, find and copy work on exact positions.
class InterpretationView : public QTextEdit
{
    Q_OBJECT
public:
    explicit InterpretationView(QWidget *parent = nullptr);

    // Shows a formatted document; the plain text keeps CRs, positions equal the view's.
    void setDocumentText(const std::u16string &text, std::vector<FormatRun> runs);
    const QString &plainText() const { return m_plain; }
    const std::vector<FormatRun> &runs() const { return m_runs; }

    // The word shown (the view's tag).
    const QString &tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    // Shows a literature article on a base font; the plain text follows the document, one
    // character per position, and the interpretation's formatting runs are dropped.
    void setArticle(const RtfDocument &article, const QFont &base);
    // True while an article is shown: the tag then names the word shown before it.
    bool showsArticle() const { return m_article; }

    // The character under a point of the viewport (not the nearest gap between two).
    int charIndexAt(const QPoint &viewportPos) const;
    void selectRange(int start, int length);
    int selectionStart() const;
    int selectionLength() const;

private:
    QString m_plain;
    std::vector<FormatRun> m_runs;
    QString m_tag;
    bool m_article = false;
};

// Where the window goes, in pixels, from the stored twips values (top, left, height, width): a
// top or left below 1 centres it on the screen, a height or width below 4000 twips is raised to
// 4000.
QRect restoredTolkGeometry(double top, double left, double height, double width,
                           const QSize &screen);

class Tolk : public QWidget
{
    Q_OBJECT
public:
    // What the viewer reads from the main window.
    struct Context
    {
        // The books in catalogue order with their current enabled states.
        std::function<std::vector<InterpretationBook>()> books;
        // The main word list's selected word; std::nullopt when nothing is selected.
        std::function<std::optional<QString>()> selectedWord;
        // True while the literature tree has the focus (the viewer then shows an article).
        std::function<bool()> litHasFocus;
        // The main window's top, in twips: the default top of the viewer.
        double mainTopTwips = 0;
        // The headword a link means when its target is not itself a headword (a word in
        // another form, "змеи" → Змея); std::nullopt when none. May be empty.
        std::function<std::optional<QString>(const QString &word)> resolveWord;
        // The executable's base name; the window keeps its minimum size only for "kelmor" in
        // any letter case, as the main window does. Empty: the running executable's.
        QString executableBaseName;
    };

    // Designed size, in twips.
    static constexpr double kDesignedHeight = 7200;
    static constexpr double kDesignedWidth = 7200;

    Tolk(Context context, platform::SettingsStore *settings, QWidget *owner = nullptr);
    ~Tolk() override;

    // The window's load: geometry, then the selected word. False (after the "Нечего
    // отображать" box) when there is nothing to show; the caller then closes the window.
    bool load();

    // Builds and shows the document of a word; false when no enabled book has it (nothing
    // changes then).
    bool ShowInterpretation(const QString &word);

    // Shows the literature article of a tree node's key (a favourite copy's "*" dropped): the
    // file read as rich text (as Windows-1251 plain text when it is not RTF) on the base font
    // "Courier New" 10 pt; the caption becomes the node's text; the view's tag stays. Throws
    // std::runtime_error with a Russian message naming the file when the file cannot be read;
    // the view then keeps what it showed.
    void ShowArticle(const QString &key, const QString &caption);

    void CheckBack();
    void AddBack(const QString &word);
    QString GetWord(int position) const;
    void ShowFind();
    // The word list picked a new word: the history starts again.
    void clearHistory();

    void goBack();
    void goHome();
    void copyToClipboard();
    void print();

    InterpretationView *view() const { return m_view; }
    const QStringList &history() const { return m_back; }
    QMenu *backMenu() const { return m_backMenu; }
    QToolButton *button(const QString &key) const;
    SearchForm *searchForm() const;

Q_SIGNALS:
    // The window is being unloaded: the main window releases its "Tolk" button.
    void unloaded();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMenuFor(const QPoint &globalPos);
    // The toolbar buttons show their captions while they fit the window's width, and only
    // their icons (captions in the tooltips) when the window is narrower.
    void fitToolbar();
    void backMenuTriggered(QAction *action);

    Context m_context;
    platform::SettingsStore *m_settings;
    QToolBar *m_toolbar = nullptr;
    QList<QToolButton *> m_buttons;
    int m_captionsWidth = 0;
    QFrame *m_frame = nullptr;
    InterpretationView *m_view = nullptr;
    QMenu *m_backMenu = nullptr;
    QMenu *m_popup = nullptr;
    QStringList m_back;
    QPoint m_pointer;
    QPointer<SearchForm> m_searchForm;
    bool m_saved = false;
};

} // namespace kelmor::viewer
