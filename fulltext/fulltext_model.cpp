#include "fulltext/fulltext_model.h"

namespace kelmor::fulltext {

void FulltextResultsModel::setAnswer(const FulltextSearch::Answer &answer,
                                     const std::vector<FulltextBook> &books)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(answer.hits.size());
    for (const FulltextHit &hit : answer.hits) {
        const QString book = hit.book >= 0 && std::size_t(hit.book) < books.size()
                                 ? books[std::size_t(hit.book)].title
                                 : QString();
        m_rows.push_back({hit.headword, book, hit.snippetWith(u"", u""), hit.snippetHtml()});
    }
    endResetModel();
}

void FulltextResultsModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString FulltextResultsModel::headwordAt(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[std::size_t(row)].headword : QString();
}

QString FulltextResultsModel::bookAt(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[std::size_t(row)].book : QString();
}

int FulltextResultsModel::rowOf(const QString &headword, const QString &book) const
{
    for (int row = 0; row < int(m_rows.size()); ++row)
        if (m_rows[std::size_t(row)].headword == headword && m_rows[std::size_t(row)].book == book)
            return row;
    return -1;
}

int FulltextResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FulltextResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FulltextResultsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const Row &row = m_rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case HeadwordColumn:
            return row.headword;
        case BookColumn:
            return row.book;
        case SnippetColumn:
            return row.snippet;
        }
        break;
    case SnippetHtmlRole:
        return row.snippetHtml;
    }
    return {};
}

QVariant FulltextResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case HeadwordColumn:
        return QStringLiteral("Слово");
    case BookColumn:
        return QStringLiteral("Сонник");
    case SnippetColumn:
        return QStringLiteral("Отрывок толкования");
    }
    return {};
}

} // namespace kelmor::fulltext
