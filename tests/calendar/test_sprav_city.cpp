// The city directory window: its controls, the quick search as typed, choosing by double click,
// by "Выбрать" and by the keyboard, closing, and a broken City.csv.

#include "books/engine/textcodec.h"
#include "calendar/sprav_city.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace kelmor::calendar;

namespace {

const char Cities[] = "\"Город\",\"Долгота\",\"Минуты\",\"Широта\",\"Минуты\",\"Юг\",\"Запад\"\r\n"
                      "\"Владивосток\",131,54,43,7,0,0\r\n"
                      "\"Мосальск\",34,59,54,30,0,0\r\n"
                      "\"Москва\",37,35,55,45,0,0\r\n"
                      "\"Сидней\",151,13,33,52,1,0\r\n"
                      "\"Апиа\",171,45,13,50,1,1\r\n";

class SpravCityTest : public ::testing::Test
{
protected:
    QString writeCities(const QString &text)
    {
        const auto bytes = kelmor::books::toCp1251(text.toStdU16String());
        const QString path = QString::fromStdString(m_dir.path("City.csv"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.value_or(std::string()).c_str());
        return path;
    }
    QString cities() { return writeCities(QString::fromUtf8(Cities)); }

    static void type(QWidget *widget, const QString &text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    static QLineEdit *search(SpravCity &d) { return d.findChild<QLineEdit *>("Text1"); }
    static QTreeView *list(SpravCity &d) { return d.findChild<QTreeView *>("ListView1"); }

    kelmor::testing::ScratchDir m_dir{"kelmor-sprav-"};
};

} // namespace

TEST_F(SpravCityTest, ControlsAndTexts)
{
    SpravCity directory(QString(), cities());
    EXPECT_EQ(directory.windowTitle(), QStringLiteral("Справочник городов"));
    EXPECT_TRUE(directory.isModal());
    EXPECT_EQ(directory.findChild<QLabel *>("Label6")->text(),
              QStringLiteral("Малый справочник городов"));
    EXPECT_EQ(directory.findChild<QLabel *>("Label1")->text(), QStringLiteral("Быстрый поиск:"));
    EXPECT_EQ(directory.findChild<QPushButton *>("Command1")->text(), QStringLiteral("Выбрать"));
    EXPECT_TRUE(directory.findChild<QPushButton *>("Command1")->isDefault());
    EXPECT_EQ(directory.findChild<QPushButton *>("Command2")->text(), QStringLiteral("Закрыть"));
    QTreeView *view = list(directory);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->header()->sectionsClickable());
    EXPECT_EQ(view->model()->rowCount(), 5);
    EXPECT_EQ(view->model()->data(view->model()->index(4, 1)).toString(),
              QStringLiteral("13° 50' ю.ш."));
    EXPECT_EQ(view->model()->data(view->model()->index(4, 2)).toString(),
              QStringLiteral("171° 45' з.д."));
    EXPECT_TRUE(directory.findChild<QLabel *>("LabelProblem")->isHidden());
    EXPECT_EQ(directory.selectedRow(), -1);
}

TEST_F(SpravCityTest, OpeningSelectsTheCurrentSettlement)
{
    SpravCity moscow(QStringLiteral("Москва"), cities());
    EXPECT_EQ(moscow.selectedRow(), 2);
    EXPECT_EQ(search(moscow)->text(), QStringLiteral("Москва"));
    SpravCity elsewhere(QStringLiteral("Тула"), cities());
    EXPECT_EQ(elsewhere.selectedRow(), -1);
}

TEST_F(SpravCityTest, QuickSearchAsTyped)
{
    SpravCity directory(QString(), cities());
    directory.show();
    QLineEdit *field = search(directory);
    type(field, QStringLiteral("моск"));
    EXPECT_EQ(field->text(), QStringLiteral("моск"));
    EXPECT_EQ(directory.selectedRow(), 2);
    // Spaces only, and a beginning nothing has, leave the selection.
    field->clear();
    type(field, QStringLiteral("   "));
    EXPECT_EQ(directory.selectedRow(), 2);
    field->clear();
    type(field, QStringLiteral("москх"));
    EXPECT_EQ(directory.selectedRow(), 2);
    field->clear();
    type(field, QStringLiteral("МОС"));
    EXPECT_EQ(directory.selectedRow(), 1);
    // The arrow keys in the field move in the list.
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(directory.selectedRow(), 2);
    QTest::keyClick(field, Qt::Key_Up);
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(directory.selectedRow(), 0);
}

TEST_F(SpravCityTest, ADoubleClickChoosesTheRow)
{
    SpravCity directory(QString(), cities());
    QSignalSpy chosen(&directory, &SpravCity::cityChosen);
    directory.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&directory));
    QTreeView *view = list(directory);
    const QRect rect = view->visualRect(view->model()->index(3, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(directory.result(), QDialog::Accepted);
    EXPECT_FALSE(directory.isVisible());
    ASSERT_EQ(chosen.count(), 1);
    const CityChoice sydney{QStringLiteral("Сидней"), 33, 52, 1, 151, 13, 0};
    EXPECT_EQ(directory.chosen(), sydney);
    EXPECT_EQ(chosen.first().first().value<CityChoice>(), sydney);
}

TEST_F(SpravCityTest, ChooseButtonAndKeyboard)
{
    {
        SpravCity directory(QStringLiteral("Апи"), cities());
        directory.show();
        directory.findChild<QPushButton *>("Command1")->click();
        EXPECT_EQ(directory.result(), QDialog::Accepted);
        EXPECT_EQ(directory.chosen(), (CityChoice{QStringLiteral("Апиа"), 13, 50, 1, 171, 45, 1}));
    }
    {
        // Without a selection the choice does nothing.
        SpravCity directory(QString(), cities());
        directory.show();
        directory.findChild<QPushButton *>("Command1")->click();
        EXPECT_TRUE(directory.isVisible());
        EXPECT_EQ(directory.chosen(), std::nullopt);
    }
    {
        // Enter in the search field takes the row the typing selected.
        SpravCity directory(QString(), cities());
        directory.show();
        type(search(directory), QStringLiteral("влад"));
        QTest::keyClick(search(directory), Qt::Key_Return);
        EXPECT_EQ(directory.result(), QDialog::Accepted);
        EXPECT_EQ(directory.chosen(),
                  (CityChoice{QStringLiteral("Владивосток"), 43, 7, 0, 131, 54, 0}));
    }
    {
        // "Закрыть" and Esc close without a choice.
        SpravCity directory(QStringLiteral("Москва"), cities());
        directory.show();
        directory.findChild<QPushButton *>("Command2")->click();
        EXPECT_EQ(directory.result(), QDialog::Rejected);
        EXPECT_EQ(directory.chosen(), std::nullopt);
        SpravCity again(QStringLiteral("Москва"), cities());
        again.show();
        QTest::keyClick(search(again), Qt::Key_Escape);
        EXPECT_FALSE(again.isVisible());
        EXPECT_EQ(again.chosen(), std::nullopt);
    }
}

TEST_F(SpravCityTest, ABrokenOrMissingFileOpensWithTheRowsReadAndSaysWhy)
{
    const QString path =
        writeCities(QString::fromUtf8(Cities) +
                    QStringLiteral("\"Тула\",37,37,54\r\n\"Тверь\",35,55,56,52,0,0\r\n"));
    SpravCity broken(QStringLiteral("Москва"), path);
    EXPECT_EQ(list(broken)->model()->rowCount(), 5);
    EXPECT_EQ(broken.selectedRow(), 2);
    const QLabel *problem = broken.findChild<QLabel *>("LabelProblem");
    EXPECT_FALSE(problem->isHidden());
    EXPECT_TRUE(problem->text().contains(QStringLiteral("строка 7")))
        << problem->text().toStdString();
    EXPECT_TRUE(problem->text().contains(path));

    SpravCity missing(QString(), path + QStringLiteral(".none"));
    EXPECT_EQ(list(missing)->model()->rowCount(), 0);
    EXPECT_TRUE(missing.findChild<QLabel *>("LabelProblem")
                    ->text()
                    .contains(QStringLiteral("Не найден файл")));

    SpravCity headerOnly(QString(), writeCities(QString::fromUtf8(Cities).section('\n', 0, 0)));
    EXPECT_EQ(list(headerOnly)->model()->rowCount(), 0);
    EXPECT_TRUE(headerOnly.findChild<QLabel *>("LabelProblem")->isHidden());
}

TEST_F(SpravCityTest, TheListIsReadBesideTheProgramElseFromTheDataFolder)
{
    const QByteArray oldDirs = qgetenv("XDG_DATA_DIRS");
    const QString data = QString::fromStdString(m_dir.path("share"));
    const QString installed = data + QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/City.csv");
    qputenv("XDG_DATA_DIRS", (QStringLiteral("/nonexistent:") + data).toUtf8());
    std::filesystem::create_directories(
        std::filesystem::path(installed.toStdString()).parent_path());
    QFile::copy(cities(), installed);
    EXPECT_EQ(CityFilePath(), installed);

    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/City.csv");
    ASSERT_FALSE(QFile::exists(beside));
    ASSERT_TRUE(QFile::copy(cities(), beside));
    EXPECT_EQ(CityFilePath(), beside);
    QFile::remove(beside);
    qputenv("XDG_DATA_DIRS", oldDirs);
}
