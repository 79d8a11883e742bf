#include "journal/statistics_window.h"

#include "calendar/dream_tables.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QKeyEvent>
#include <QLabel>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kelmor::journal {

namespace {

const char16_t *const kShortWeekDays[] = {u"Пн", u"Вт", u"Ср", u"Чт", u"Пт", u"Сб", u"Вс"};

ChartBars namedBars(const QString &title, const std::vector<NamedCount> &counts)
{
    ChartBars bars{title, QStringLiteral("Снов"), {}, {}, {}, {}};
    for (const NamedCount &c : counts) {
        bars.labels.append(c.name);
        bars.values.append(c.count);
    }
    return bars;
}

QString numberText(double value)
{
    return value == std::floor(value) ? QString::number(qint64(value))
                                      : QString::number(value, 'f', 0);
}

QChart *makeChart(const ChartBars &bars, bool horizontal)
{
    auto *chart = new QChart;
    chart->legend()->hide();
    chart->setTitle(bars.title);
    auto *set = new QBarSet(bars.valueName);
    for (qsizetype i = 0; i < bars.values.size(); ++i)
        set->append(bars.values[horizontal ? bars.values.size() - 1 - i : i]);
    QAbstractBarSeries *series =
        horizontal ? static_cast<QAbstractBarSeries *>(new QHorizontalBarSeries) : new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    chart->addSeries(series);
    auto *categories = new QBarCategoryAxis;
    // A horizontal chart draws its first bar at the bottom: the most frequent goes on top.
    QStringList labels = bars.labels;
    if (horizontal)
        std::reverse(labels.begin(), labels.end());
    categories->append(labels);
    auto *values = new QValueAxis;
    double max = 1;
    for (double v : bars.values)
        max = std::max(max, v);
    // Whole numbers on the axis, about five steps.
    const double step = std::max(1.0, std::ceil(max / 5));
    values->setRange(0, step * std::ceil(max * 1.15 / step));
    values->setTickType(QValueAxis::TicksDynamic);
    values->setTickAnchor(0);
    values->setTickInterval(step);
    values->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(categories, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(values, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(categories);
    series->attachAxis(values);
    return chart;
}

} // namespace

std::vector<ChartBars> chartBars(const JournalStatistics &st)
{
    std::vector<ChartBars> tabs;
    tabs.push_back(namedBars(QStringLiteral("Самые частые символы"), st.symbols));
    tabs.push_back(namedBars(QStringLiteral("Самые частые метки"), st.tags));

    ChartBars lunar{QStringLiteral("Сны по лунным дням"), QStringLiteral("Снов"), {}, {}, {}, {}};
    for (int d = 1; d <= 30; ++d) {
        lunar.labels.append(QString::number(d));
        lunar.values.append(st.perLunarDay[std::size_t(d)]);
    }
    tabs.push_back(lunar);

    ChartBars week{QStringLiteral("Сны по дням недели"), QStringLiteral("Снов"), {}, {}, {}, {}};
    for (int d = 1; d <= 7; ++d) {
        week.labels.append(QString::fromUtf16(kShortWeekDays[d - 1]));
        week.values.append(st.perWeekDay[std::size_t(d)]);
    }
    tabs.push_back(week);

    ChartBars cameTrue{QStringLiteral("Сколько снов сбылось, по лунным дням (из снов с известным "
                                      "исходом)"),
                       QStringLiteral("Сбылось, %"),
                       {},
                       {},
                       {QStringLiteral("Известно"), QStringLiteral("Сбылось")},
                       {}};
    for (int d = 1; d <= 30; ++d) {
        const int known = st.knownPerLunarDay[std::size_t(d)];
        if (known == 0)
            continue;
        const int yes = st.cameTruePerLunarDay[std::size_t(d)];
        cameTrue.labels.append(QString::number(d));
        cameTrue.values.append(std::round(100.0 * yes / known));
        cameTrue.extraValues.append({QString::number(known), QString::number(yes)});
    }
    tabs.push_back(cameTrue);
    return tabs;
}

StatisticsWindow::StatisticsWindow(QWidget *owner)
    : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(QStringLiteral("Статистика дневника снов"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(900, 560);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("StatisticsSummary"));
    m_summary->setWordWrap(true);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("StatisticsTabs"));
    const char16_t *const tabNames[] = {u"Символы", u"Метки", u"Лунные дни", u"Дни недели",
                                        u"Сбылись ли"};
    const char *const numberNames[] = {"SymbolNumbers", "TagNumbers", "LunarDayNumbers",
                                       "WeekDayNumbers", "CameTrueNumbers"};
    for (int i = 0; i < 5; ++i) {
        auto *splitter = new QSplitter(Qt::Horizontal, m_tabs);
        auto *view = new QChartView(splitter);
        view->setObjectName(QStringLiteral("Chart%1").arg(i));
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(360, 260);
        auto *numbers = new QTreeWidget(splitter);
        numbers->setObjectName(QString::fromLatin1(numberNames[i]));
        numbers->setRootIsDecorated(false);
        numbers->setAlternatingRowColors(true);
        numbers->setMinimumWidth(200);
        splitter->addWidget(view);
        splitter->addWidget(numbers);
        splitter->setStretchFactor(0, 3);
        splitter->setStretchFactor(1, 1);
        m_tabs->addTab(splitter, QString::fromUtf16(tabNames[i]));
        m_charts.push_back(view);
        m_numbers.push_back(numbers);
    }
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_tabs, 1);
}

QChartView *StatisticsWindow::chartView(int tab) const
{
    return m_charts.at(std::size_t(tab));
}

QTreeWidget *StatisticsWindow::numbers(int tab) const
{
    return m_numbers.at(std::size_t(tab));
}

QString StatisticsWindow::summaryText() const
{
    return m_summary->text();
}

void StatisticsWindow::setStatistics(const JournalStatistics &st)
{
    int known = 0;
    int yes = 0;
    for (std::size_t d = 1; d < st.knownPerLunarDay.size(); ++d) {
        known += st.knownPerLunarDay[d];
        yes += st.cameTruePerLunarDay[d];
    }
    m_summary->setText(
        QStringLiteral("Записей в дневнике: %1. Исход известен у %2, из них сбылись %3. Сон "
                       "считается по лунному дню, который занял бо́льшую часть ночи, и по дню "
                       "недели утра.")
            .arg(st.entries)
            .arg(known)
            .arg(yes));
    const std::vector<ChartBars> tabs = chartBars(st);
    const char16_t *const labelNames[] = {u"Символ", u"Метка", u"Лунный день", u"День недели",
                                          u"Лунный день"};
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        const ChartBars &bars = tabs[i];
        QChart *old = m_charts[i]->chart();
        m_charts[i]->setChart(makeChart(bars, i < 2));
        delete old;
        QTreeWidget *numbers = m_numbers[i];
        numbers->clear();
        QStringList header{QString::fromUtf16(labelNames[i])};
        header += bars.extraNames;
        header.append(bars.valueName);
        numbers->setHeaderLabels(header);
        for (int r = 0; r < bars.labels.size(); ++r) {
            QStringList row{bars.labels[r]};
            if (r < bars.extraValues.size())
                row += bars.extraValues[r];
            row.append(numberText(bars.values[r]));
            auto *item = new QTreeWidgetItem(numbers, row);
            for (int c = 1; c < row.size(); ++c)
                item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        for (int c = 0; c < header.size(); ++c)
            numbers->resizeColumnToContents(c);
    }
    applyTheme();
}

void StatisticsWindow::applyTheme()
{
    // Readable in light and dark desktops alike.
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    for (QChartView *view : m_charts) {
        view->chart()->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
        view->chart()->legend()->hide();
        // The numbers at the bars, in the text colour of the theme.
        const QColor text = dark ? QColor(Qt::white) : QColor(Qt::black);
        for (QAbstractSeries *series : view->chart()->series()) {
            if (auto *bars = qobject_cast<QAbstractBarSeries *>(series))
                for (QBarSet *set : bars->barSets())
                    set->setLabelColor(text);
        }
    }
}

void StatisticsWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyTheme();
    QWidget::changeEvent(event);
}

void StatisticsWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kelmor::journal
