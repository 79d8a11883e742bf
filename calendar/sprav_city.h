#pragma once

// The city directory ("Справочник городов"): the settlements of City.csv in a list with a quick
// search; choosing one (the button or a double click) gives its name, degrees, minutes and
// hemispheres to the location page that opened it. Nothing is stored here.

#include "calendar/city_directory.h"

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace kelmor::calendar {

class SpravCity : public QDialog
{
    Q_OBJECT
public:
    // Loads the list from cityFile and runs the quick search once on currentName, so the
    // current settlement is selected when the list has it.
    SpravCity(const QString &currentName, const QString &cityFile, QWidget *parent = nullptr);

    // Opens the directory modally over parent on CityFilePath(); the settlement chosen, or
    // std::nullopt when it was closed without a choice.
    static std::optional<CityChoice> choose(QWidget *parent, const QString &currentName);

    // Fills the list from the file; a missing or broken file leaves the rows read so far and a
    // line saying what was wrong.
    void LoadList();

    std::optional<CityChoice> chosen() const { return m_chosen; }
    CityListModel *model() const { return m_model; }
    // The selected row, -1 when none.
    int selectedRow() const;

Q_SIGNALS:
    void cityChosen(const kelmor::calendar::CityChoice &choice);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void runQuickSearch();
    void chooseSelected();

    QString m_cityFile;
    CityListModel *m_model;
    QTreeView *m_list;
    QLineEdit *m_search;
    QLabel *m_problem;
    std::optional<CityChoice> m_chosen;
};

} // namespace kelmor::calendar
