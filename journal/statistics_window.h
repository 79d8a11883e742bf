#pragma once

// The journal's statistics as charts with their numbers beside them: the most frequent symbols
// and tags, dreams per lunar day and per weekday, and how often the dreams of each lunar day came
// true among those whose outcome is known.

#include "journal/journal_store.h"

#include <QWidget>

class QLabel;
class QTabWidget;
class QTreeWidget;

QT_BEGIN_NAMESPACE
class QChartView;
QT_END_NAMESPACE

namespace kelmor::journal {

// One chart's bars: a label and a value each.
struct ChartBars
{
    QString title;
    QString valueName; // the numbers' column: "Снов", "Сбылось, %"
    QStringList labels;
    QList<double> values;
    // Extra columns of the numbers beside the chart (the came-true tab: known, came true).
    QStringList extraNames;
    QList<QStringList> extraValues;
};

// The bars of each tab, in tab order, for statistics.
std::vector<ChartBars> chartBars(const JournalStatistics &statistics);

class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit StatisticsWindow(QWidget *owner = nullptr);

    void setStatistics(const JournalStatistics &statistics);
    QTabWidget *tabs() const { return m_tabs; }
    QChartView *chartView(int tab) const;
    QTreeWidget *numbers(int tab) const;
    QString summaryText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyTheme();

    QLabel *m_summary = nullptr;
    QTabWidget *m_tabs = nullptr;
    std::vector<QChartView *> m_charts;
    std::vector<QTreeWidget *> m_numbers;
};

} // namespace kelmor::journal
