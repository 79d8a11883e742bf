#pragma once

// The list of the journal's entries for a view: one row per entry of the query, newest night
// first, held as the query's small summaries (no widget per row).

#include "journal/journal_store.h"

#include <QAbstractTableModel>

#include <vector>

namespace kelmor::journal {

class JournalListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        NightColumn,
        TitleColumn,
        LunarDaysColumn,
        SymbolsColumn,
        TagsColumn,
        MoodColumn,
        OutcomeColumn,
        ColumnCount
    };
    // The entry's id, for any column.
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit JournalListModel(QObject *parent = nullptr);

    // Replaces every row.
    void setRows(std::vector<EntrySummary> rows);
    const EntrySummary &summary(int row) const { return m_rows[std::size_t(row)]; }
    // The row of an entry, or -1.
    int rowOfId(std::int64_t id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<EntrySummary> m_rows;
};

// "08.04 23:00 – 09.04 07:00" as the list shows a night; the moment alone for a moment.
QString listNightText(const EntrySummary &summary);

} // namespace kelmor::journal
