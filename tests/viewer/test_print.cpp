// Printing: the no-printer message, the dialog's rules, and PDF output read back by pdftotext.
#include "book_fakes.h"
#include "dark_theme.h"

#include "viewer/fonts.h"
#include "viewer/messages.h"
#include "viewer/print_dialog.h"
#include "viewer/tolk.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kelmor::viewer;
using namespace kelmor::viewer::testing;

namespace {

class PrintTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        installFonts();
        PrintDialog::resetSession();
        setMessageHandler([this](QWidget *, MessageIcon, const QString &caption,
                                 const QString &text) { messages << caption + u'|' + text; });
        books = {fakeBook(u"Сонник", 0x0000FF,
                          {{u"Вода", u"Чистая вода снится к радости.", u"море; река."}})};
        Tolk::Context context;
        context.books = [this] { return books; };
        context.selectedWord = [] { return std::optional<QString>(QStringLiteral("Вода")); };
        tolk = std::make_unique<Tolk>(context, nullptr);
        tolk->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(tolk->load());
    }
    void TearDown() override
    {
        setMessageHandler({});
        PrintDialog::setPrinterList({});
        PrintDialog::setPrinterFactory({});
        PrintDialog::resetSession();
    }

    std::unique_ptr<Tolk> makeTolk()
    {
        Tolk::Context context;
        context.books = [this] { return books; };
        context.selectedWord = [] { return std::optional<QString>(QStringLiteral("Вода")); };
        auto viewer = std::make_unique<Tolk>(context, nullptr);
        viewer->setAttribute(Qt::WA_DeleteOnClose, false);
        EXPECT_TRUE(viewer->load());
        return viewer;
    }

    // Prints the viewer's document once to a PDF file and renders its first page.
    static QImage printedPage(Tolk &viewer, const QString &pdf)
    {
        PrintDialog::setPrinterList([] { return QList<PrinterEntry>{{"pdf", "file:"}}; });
        PrintDialog::setPrinterFactory([&](const QString &) {
            auto printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return printer;
        });
        PrintDialog dialog(viewer.view(), &viewer);
        dialog.Davay();
        QProcess pdftoppm;
        pdftoppm.start("pdftoppm", {"-r", "100", "-f", "1", "-l", "1", "-png", "-singlefile", pdf,
                                    pdf + ".page"});
        EXPECT_TRUE(pdftoppm.waitForFinished(20000));
        return QImage(pdf + ".page.png").convertToFormat(QImage::Format_RGB32);
    }

    std::vector<InterpretationBook> books;
    std::unique_ptr<Tolk> tolk;
    QStringList messages;
};

} // namespace

TEST_F(PrintTest, NoPrinterGivesTheMessage)
{
    PrintDialog::setPrinterList([] { return QList<PrinterEntry>{}; });
    tolk->print();
    // No caption of its own: the program's title.
    EXPECT_EQ(messages, QStringList{"Сонник ZEL Kelmor 3|В системе нет принтеров. Установите "
                                    "принтер и повторите попытку."});
}

TEST(PrinterType, NetworkAndLocalNames)
{
    using P = std::pair<QString, QString>; // type, location
    EXPECT_EQ(GetPrinterType("\\\\srv\\laser", "ipp://srv/laser"), P("laser", "\\\\srv\\"));
    EXPECT_EQ(GetPrinterType("HP_LaserJet", "usb://HP/LaserJet"),
              P("HP_LaserJet", "usb://HP/LaserJet"));
    // The last backslash must lie after position 3.
    EXPECT_EQ(GetPrinterType("\\\\\\x", "p"), P("\\\\\\x", "p"));
}

TEST(PrinterCopies, LeadingNumberWithinOneToNinetyNine)
{
    const std::vector<std::pair<QString, int>> cases{
        {"1", 1},  {"3", 3},  {"99", 99}, {"0", 1},   {"", 1},
        {"ab", 1}, {"7x", 7}, {"-5", 1},  {"1.6", 2}, {" 4", 4},
    };
    for (const auto &[text, copies] : cases)
        EXPECT_EQ(copiesFromText(text), copies) << text.toStdString();
}

TEST_F(PrintTest, DialogRangeAndCopiesRules)
{
    PrintDialog::setPrinterList([] {
        return QList<PrinterEntry>{{"local", "usb://a"}, {"\\\\srv\\laser", "ipp://srv"}};
    });
    {
        PrintDialog dialog(tolk->view(), tolk.get());
        EXPECT_TRUE(dialog.wholeOption()->isChecked());
        EXPECT_FALSE(dialog.selectionOption()->isEnabled());
        EXPECT_EQ(dialog.copiesField()->text(), "1");
        EXPECT_EQ(dialog.copiesField()->maxLength(), 2);
        dialog.copiesField()->setText("0");
        EXPECT_EQ(dialog.copiesSpinner()->value(), 1);
        EXPECT_EQ(dialog.copiesField()->text(), "0") << "rewritten only when the value changes";
        dialog.copiesField()->setText("12");
        EXPECT_EQ(dialog.copiesSpinner()->value(), 12);
        dialog.copiesSpinner()->setValue(5);
        EXPECT_EQ(dialog.copiesField()->text(), "5");
        dialog.chooseEntry(1);
        EXPECT_EQ(dialog.typeLabel()->text(), "laser");
        EXPECT_EQ(dialog.locationLabel()->text(), "\\\\srv\\");
    }
    EXPECT_EQ(PrintDialog::currentPrinter(), "\\\\srv\\laser") << "kept for the run";
    tolk->view()->selectRange(3, 4);
    PrintDialog dialog(tolk->view(), tolk.get());
    EXPECT_TRUE(dialog.selectionOption()->isEnabled());
    EXPECT_TRUE(dialog.selectionOption()->isChecked());
}

TEST_F(PrintTest, OneJobPerCopyToPdf)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    QTemporaryDir dir;
    QStringList files;
    PrintDialog::setPrinterList([] { return QList<PrinterEntry>{{"pdf", "file:"}}; });
    PrintDialog::setPrinterFactory([&](const QString &) {
        auto printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        files << dir.filePath(QStringLiteral("copy%1.pdf").arg(files.size() + 1));
        printer->setOutputFileName(files.last());
        return printer;
    });
    PrintDialog dialog(tolk->view(), tolk.get());
    dialog.copiesField()->setText("3");
    dialog.Davay();
    ASSERT_EQ(files.size(), 3);
    for (const QString &file : files) {
        QProcess pdftotext;
        pdftotext.start("pdftotext", {file, "-"});
        ASSERT_TRUE(pdftotext.waitForFinished(10000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        EXPECT_TRUE(text.contains("Чистая вода снится к радости.")) << text.toStdString();
        EXPECT_TRUE(text.contains("Сонник")) << text.toStdString();
    }
}

TEST_F(PrintTest, PrintedPageIsTheSameUnderADarkTheme)
{
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed";
    QTemporaryDir dir;
    const QImage light = printedPage(*makeTolk(), dir.filePath("light.pdf"));
    QImage dark;
    {
        const DarkTheme theme;
        dark = printedPage(*makeTolk(), dir.filePath("dark.pdf"));
    }
    ASSERT_FALSE(light.isNull());
    ASSERT_EQ(dark.size(), light.size());

    // The article text is black on the paper: grey-free dark pixels, many of them. Headings and
    // links keep the books' colours, which are not grey.
    const auto blackPixels = [](const QImage &page) {
        int count = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                const int low = std::min({c.red(), c.green(), c.blue()});
                const int high = std::max({c.red(), c.green(), c.blue()});
                if (high < 90 && high - low < 16)
                    ++count;
            }
        return count;
    };
    EXPECT_GT(blackPixels(light), 150);
    EXPECT_EQ(blackPixels(dark), blackPixels(light));
    EXPECT_TRUE(dark == light) << "the desktop theme changed the printed page";
}
