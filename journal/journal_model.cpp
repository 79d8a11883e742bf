#include "journal/journal_model.h"

#include <QDateTime>

namespace kelmor::journal {

QString listNightText(const EntrySummary &s)
{
    const QDateTime from =
        QDateTime::fromSecsSinceEpoch(s.fellAsleep, Qt::OffsetFromUTC, s.fellAsleepOffset);
    if (s.moment)
        return from.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    const QDateTime to = QDateTime::fromSecsSinceEpoch(s.wokeUp, Qt::OffsetFromUTC, s.wokeUpOffset);
    return from.toString(QStringLiteral("dd.MM.yyyy HH:mm")) + QStringLiteral(" – ") +
           to.toString(from.date() == to.date() ? QStringLiteral("HH:mm")
                                                : QStringLiteral("dd.MM HH:mm"));
}

JournalListModel::JournalListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void JournalListModel::setRows(std::vector<EntrySummary> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int JournalListModel::rowOfId(std::int64_t id) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].id == id)
            return int(i);
    return -1;
}

int JournalListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int JournalListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const EntrySummary &s = m_rows[std::size_t(index.row())];
    if (role == IdRole)
        return QVariant::fromValue(qint64(s.id));
    if (role == Qt::TextAlignmentRole && index.column() == MoodColumn)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case NightColumn:
        return listNightText(s);
    case TitleColumn:
        return s.title.isEmpty() ? QStringLiteral("Без названия") : s.title;
    case LunarDaysColumn:
        return s.lunarDays;
    case SymbolsColumn:
        return s.symbols;
    case TagsColumn:
        return s.tags;
    case MoodColumn:
        return s.mood > 0 ? QVariant(s.mood) : QVariant(QString());
    case OutcomeColumn:
        return outcomeText(s.outcome);
    default:
        return {};
    }
}

QVariant JournalListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char16_t *const names[ColumnCount] = {
        u"Ночь", u"Название", u"Лунные дни", u"Символы", u"Метки", u"Настроение", u"Сбылся ли"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf16(names[section]) : QVariant();
}

} // namespace kelmor::journal
