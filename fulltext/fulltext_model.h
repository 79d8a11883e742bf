#pragma once

// The rows of a full-text search: headword, book, snippet, best first.

#include "fulltext/fulltext_search.h"

#include <QAbstractTableModel>

namespace kelmor::fulltext {

class FulltextResultsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { HeadwordColumn, BookColumn, SnippetColumn, ColumnCount };
    enum Role {
        // The snippet as HTML, matched words in bold.
        SnippetHtmlRole = Qt::UserRole + 1,
    };

    using QAbstractTableModel::QAbstractTableModel;

    // The rows of an answer; books names the books its hits point into.
    void setAnswer(const FulltextSearch::Answer &answer, const std::vector<FulltextBook> &books);
    void clear();

    QString headwordAt(int row) const;
    QString bookAt(int row) const;
    // The row of a headword in a book, or -1.
    int rowOf(const QString &headword, const QString &book) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        QString headword;
        QString book;
        QString snippet; // plain, without marks
        QString snippetHtml;
    };
    std::vector<Row> m_rows;
};

} // namespace kelmor::fulltext
