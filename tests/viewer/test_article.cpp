// Articles in the viewer: the read document put into a QTextDocument (formats, tables,
// pictures), reading article files, ShowArticle, and the RTF corpus compared with unrtf.
#include "book_fakes.h"

#include "viewer/article_document.h"
#include "viewer/fonts.h"
#include "viewer/literature.h"
#include "viewer/tolk.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace kelmor::viewer;

namespace {

QFont articleFont()
{
    QFont base(kArticleFontFamily);
    base.setPointSize(kArticlePointSize);
    return base;
}

std::unique_ptr<QTextDocument> documentOf(const QByteArray &rtf)
{
    auto document = std::make_unique<QTextDocument>();
    setArticleDocument(document.get(), readArticle(rtf), articleFont());
    return document;
}

// The character format at the first occurrence of a text.
QTextCharFormat formatAt(QTextDocument &document, const QString &text)
{
    QTextCursor found = document.find(text);
    EXPECT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor at(&document);
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat();
}

QTextBlockFormat blockAt(QTextDocument &document, const QString &text)
{
    return document.find(text).blockFormat();
}

QByteArray imageBytes(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage sample()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(qRgb(200, 30, 40));
    image.setPixel(0, 0, qRgb(0, 0, 255));
    return image;
}

TEST(ArticleDocument, CharacterFormats)
{
    auto doc = documentOf(
        R"({\rtf1{\fonttbl{\f0\froman Times New Roman;}}{\colortbl;\red255\green0\blue0;})"
        R"(base {\f0\fs32 big}{\b bold}{\i it}{\ul ul}{\strike st}{\cf1 red}{\highlight1 hl})"
        R"({\super up}{\scaps sc}})");
    EXPECT_EQ(doc->defaultFont().family(), "Courier New");
    EXPECT_EQ(doc->defaultFont().pointSize(), 10);
    const QTextCharFormat base = formatAt(*doc, "base");
    EXPECT_FALSE(base.hasProperty(QTextFormat::FontFamilies)); // the base font
    EXPECT_FALSE(base.hasProperty(QTextFormat::FontPointSize));
    EXPECT_EQ(formatAt(*doc, "big").fontFamilies().toStringList(), QStringList{"Times New Roman"});
    EXPECT_EQ(formatAt(*doc, "big").fontPointSize(), 16);
    EXPECT_EQ(formatAt(*doc, "bold").fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatAt(*doc, "it").fontItalic());
    EXPECT_TRUE(formatAt(*doc, "ul").fontUnderline());
    EXPECT_TRUE(formatAt(*doc, "st").fontStrikeOut());
    EXPECT_EQ(formatAt(*doc, "red").foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(*doc, "hl").background().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(*doc, "up").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(formatAt(*doc, "sc").fontCapitalization(), QFont::SmallCaps);
}

TEST(ArticleDocument, ParagraphFormats)
{
    auto doc = documentOf(R"({\rtf1\pard\qc\sb300\sa150 centre\par)"
                          R"(\pard\qj\li1500\ri750\fi-300\sl-450 hang\par)"
                          R"(\pard\qr\outlinelevel0 right\page next\par})");
    EXPECT_EQ(doc->blockCount(), 4);
    const QTextBlockFormat centre = blockAt(*doc, "centre");
    EXPECT_EQ(centre.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(centre.topMargin(), 20);
    EXPECT_DOUBLE_EQ(centre.bottomMargin(), 10);
    const QTextBlockFormat hang = blockAt(*doc, "hang");
    EXPECT_EQ(hang.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    EXPECT_DOUBLE_EQ(hang.leftMargin(), 100);
    EXPECT_DOUBLE_EQ(hang.rightMargin(), 50);
    EXPECT_DOUBLE_EQ(hang.textIndent(), -20);
    EXPECT_EQ(hang.lineHeightType(), QTextBlockFormat::FixedHeight);
    EXPECT_DOUBLE_EQ(hang.lineHeight(), 30);
    ASSERT_EQ(hang.tabPositions().size(), 1);              // the hanging indent's own stop
    EXPECT_DOUBLE_EQ(hang.tabPositions()[0].position, 20); // from the first line's start
    const QTextBlockFormat right = blockAt(*doc, "right");
    EXPECT_EQ(right.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(right.headingLevel(), 1);
    EXPECT_EQ(blockAt(*doc, "next").pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);
}

TEST(ArticleDocument, Table)
{
    auto doc = documentOf(R"({\rtf1{\colortbl;\red0\green128\blue0;}before\par)"
                          R"(\trowd\clcbpat1\cellx1500\cellx4500\intbl A\cell B\par B2\cell\row)"
                          R"(\trowd\cellx1500\cellx4500\intbl C\cell\row\pard after\par})");
    QTextCursor cursor = doc->find("A");
    QTextTable *table = cursor.currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 2);
    const QList<QTextLength> widths = table->format().columnWidthConstraints();
    ASSERT_EQ(widths.size(), 2);
    EXPECT_EQ(widths[0].type(), QTextLength::PercentageLength);
    EXPECT_NEAR(widths[0].rawValue(), 100.0 / 3, 1e-9);
    EXPECT_NEAR(widths[1].rawValue(), 200.0 / 3, 1e-9);
    EXPECT_EQ(table->cellAt(0, 0).format().background().color(), QColor(0, 128, 0));
    const auto cellText = [&](int r, int c) {
        QTextCursor from = table->cellAt(r, c).firstCursorPosition();
        from.setPosition(table->cellAt(r, c).lastCursorPosition().position(),
                         QTextCursor::KeepAnchor);
        return from.selectedText();
    };
    EXPECT_EQ(cellText(0, 1), QStringLiteral("B\u2029B2"));
    EXPECT_EQ(cellText(1, 0), "C");
    EXPECT_EQ(cellText(1, 1), "");
    EXPECT_EQ(doc->find("after").currentTable(), nullptr);
    EXPECT_EQ(doc->find("before").currentTable(), nullptr);
    // The view's text has one character per position, table boundaries as line breaks.
    const QString view = articleViewText(doc.get());
    EXPECT_EQ(view.size(), doc->characterCount() - 1);
    EXPECT_EQ(view.indexOf("after"), doc->find("after").selectionStart());
    EXPECT_FALSE(view.contains(QChar(0xFDD0)));
}

TEST(ArticleDocument, Pictures)
{
    const QByteArray png = imageBytes(sample(), "PNG");
    const QByteArray bmp = imageBytes(sample(), "BMP");
    const QByteArray dib = bmp.mid(14); // a DIB is a BMP file without its file header
    const QByteArray jpeg = imageBytes(sample(), "JPEG");
    const QByteArray input = "{\\rtf1 a{\\pict\\pngblip\\picwgoal900\\pichgoal450 " + png.toHex() +
                             "}b{\\pict\\dibitmap0\\picscalex200\\picscaley50 " + dib.toHex() +
                             "}c{\\pict\\jpegblip " + jpeg.toHex() +
                             "}d{\\pict\\pngblip 0badf00d}e}";
    const RtfDocument article = readRtf(input);
    ASSERT_EQ(article.pictures.size(), 4u);
    const QImage fromDib = decodePicture(article.pictures[1]);
    ASSERT_FALSE(fromDib.isNull());
    EXPECT_EQ(fromDib.size(), QSize(4, 3));
    EXPECT_EQ(fromDib.pixel(0, 0), qRgb(0, 0, 255)); // rows in the right order
    EXPECT_EQ(fromDib.pixel(3, 2), qRgb(200, 30, 40));
    EXPECT_EQ(decodePicture(article.pictures[2]).size(), QSize(4, 3));
    EXPECT_TRUE(decodePicture(article.pictures[3]).isNull());

    QTextDocument doc;
    setArticleDocument(&doc, article, articleFont());
    QList<QSize> shown;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat()) {
                const QTextImageFormat image = f.toImageFormat();
                EXPECT_FALSE(doc.resource(QTextDocument::ImageResource, QUrl(image.name()))
                                 .value<QImage>()
                                 .isNull());
                shown.append(QSize(int(image.width()), int(image.height())));
            }
        }
    }
    // Goal size in twips; the image's own size scaled; the damaged picture left out.
    EXPECT_EQ(shown, (QList<QSize>{{60, 30}, {8, 2}, {4, 3}}));
    EXPECT_EQ(doc.toPlainText().remove(QChar::ObjectReplacementCharacter), "abcde");
}

TEST(ArticleDocument, PicturesBeyondTheBoundsAreNotDecoded)
{
    // A bitmap header that claims 100000 × 100000 pixels.
    QByteArray dib(40, '\0');
    const auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            dib[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    put32(0, 40);
    put32(4, 100000);
    put32(8, 100000);
    dib[12] = 1;
    dib[14] = 1;
    dib.append(QByteArray(64, '\xFF'));
    RtfPicture huge;
    huge.format = RtfPicture::Format::Dib;
    huge.data = dib;
    EXPECT_TRUE(decodePicture(huge).isNull());
    // Damaged headers.
    for (const QByteArray &bad : {QByteArray(), QByteArray(3, 'x'), QByteArray(40, '\xFF')}) {
        huge.data = bad;
        EXPECT_TRUE(decodePicture(huge).isNull());
    }
    RtfPicture goal;
    goal.goalWidth = 15 * 100000;
    goal.goalHeight = 15 * 10;
    EXPECT_EQ(pictureDisplaySize(goal, {}), QSize(kMaxPictureSide, 1));
}

class ArticleFiles : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString write(const QString &name, const QByteArray &content)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName();
    }
    QTemporaryDir dir;
};

TEST_F(ArticleFiles, ReadsRtfAndPlainText)
{
    EXPECT_TRUE(loadArticle(write("a.lit", "{\\rtf1 a}")).rich);
    const RtfDocument plain = loadArticle(write("b.lit", "\xc4\xe0"));
    EXPECT_FALSE(plain.rich);
    EXPECT_EQ(documentText(plain), "Да\n");
}

TEST_F(ArticleFiles, ErrorsNameTheFile)
{
    const auto message = [](const QString &path) {
        try {
            loadArticle(path);
        } catch (const std::runtime_error &e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    };
    const QString missing = dir.filePath("нет.lit");
    EXPECT_EQ(message(missing), "Файл статьи не найден: " + missing);
    EXPECT_EQ(message(dir.path()), "Файл статьи не найден: " + dir.path());
    QFile big(dir.filePath("big.lit"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(kMaxArticleBytes + 1)); // sparse: no disk space used
    big.close();
    EXPECT_EQ(message(big.fileName()), "Файл статьи слишком велик: " + big.fileName());
    const QString locked = write("locked.lit", "{\\rtf1 a}");
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    if (!QFile(locked).open(QIODevice::ReadOnly)) { // root reads it anyway
        EXPECT_EQ(message(locked), "Не удалось открыть файл статьи: " + locked);
    }
}

TEST_F(ArticleFiles, ShowArticle)
{
    installFonts();
    const QString path =
        write("Сны.lit", "{\\rtf1{\\fonttbl{\\f0 Arial;}}plain {\\f0\\b bold} <link> text\\par}");
    Tolk::Context context;
    context.litHasFocus = [] { return true; };
    Tolk tolk(context, nullptr);
    tolk.setAttribute(Qt::WA_DeleteOnClose, false);
    tolk.view()->setTag(QStringLiteral("Вода"));
    tolk.ShowArticle(path + u'*', QStringLiteral("Сны"));
    EXPECT_EQ(tolk.windowTitle(), "Сны");
    EXPECT_EQ(tolk.view()->tag(), "Вода"); // untouched
    EXPECT_TRUE(tolk.view()->showsArticle());
    EXPECT_EQ(tolk.view()->plainText(), "plain bold <link> text");
    // The base font: Courier New 10 pt, shown in its metric-compatible family.
    QTextDocument *doc = tolk.view()->document();
    EXPECT_EQ(doc->defaultFont().family(), "Courier New");
    EXPECT_EQ(doc->defaultFont().pointSize(), 10);
    EXPECT_EQ(QFontInfo(doc->defaultFont()).family(), "Liberation Mono");
    EXPECT_EQ(formatAt(*doc, "bold").fontFamilies().toStringList(), QStringList{"Arial"});
    // The favourite copy shows the same file as its article.
    const QString viaCopy = tolk.view()->plainText();
    tolk.ShowArticle(path, QStringLiteral("Сны"));
    EXPECT_EQ(tolk.view()->plainText(), viaCopy);

    // A file that cannot be read leaves the view as it was.
    EXPECT_THROW(tolk.ShowArticle(dir.filePath("нет.lit"), "x"), std::runtime_error);
    EXPECT_EQ(tolk.view()->plainText(), viaCopy);
    EXPECT_EQ(tolk.windowTitle(), "Сны");
}

TEST_F(ArticleFiles, InterpretationOfTheTagWordAfterAnArticle)
{
    // The tag still names the word shown before the article; asking for that word again must
    // show its interpretation, not leave the article on screen.
    const QString path = write("a.lit", "{\\rtf1 article}");
    Tolk::Context context;
    context.books = [] {
        return std::vector<InterpretationBook>{kelmor::viewer::testing::fakeBook(
            u"Сонник", 0x0000FF, {{u"Вода", u"К слезам.", std::nullopt}})};
    };
    context.litHasFocus = [] { return false; };
    Tolk tolk(context, nullptr);
    tolk.setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(tolk.ShowInterpretation(QStringLiteral("Вода")));
    const QString interpretation = tolk.view()->plainText();
    tolk.ShowArticle(path, "a");
    ASSERT_TRUE(tolk.ShowInterpretation(QStringLiteral("Вода")));
    EXPECT_FALSE(tolk.view()->showsArticle());
    EXPECT_EQ(tolk.view()->plainText(), interpretation);
    EXPECT_EQ(tolk.windowTitle(), "Вода");
}

// The corpus: our own fixtures, the bundled articles, and files written by LibreOffice
// (tests/data/rtf/make_corpus.sh). unrtf --text turns Cyrillic into "?", so the reference is
// unrtf --html: its entities decoded and tags dropped by QTextDocument's HTML reader. unrtf
// puts tags inside words and breaks lines where it likes, so both texts are compared with all
// white space (and no-break spaces) removed: every character in the same order.
QString withoutSpaces(QString text)
{
    text.remove(QChar(0x00AD));
    text.remove(QChar::ObjectReplacementCharacter); // unrtf's pictures; ours are not text
    QString out;
    for (const QChar c : std::as_const(text)) {
        if (!c.isSpace())
            out.append(c);
    }
    return out;
}

TEST(RtfCorpus, TextMatchesUnrtf)
{
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    if (unrtf.isEmpty())
        GTEST_SKIP() << "unrtf is not installed";
    const QString source = qEnvironmentVariable("KELMOR_SOURCE_DIR", QStringLiteral(KELMOR_SOURCE));
    QStringList files;
    for (const auto &[folder, filter] :
         {std::pair{QStringLiteral("/tests/data/rtf"), QStringLiteral("*.rtf")},
          std::pair{QStringLiteral("/data/texts"), QStringLiteral("*.lit")}}) {
        const QDir d(source + folder);
        for (const QString &name : d.entryList({filter}, QDir::Files, QDir::Name))
            files.append(d.filePath(name));
    }
    ASSERT_GE(files.size(), 9);
    // unrtf writes the pictures it meets into its working folder.
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    for (const QString &file : std::as_const(files)) {
        QProcess process;
        process.setWorkingDirectory(scratch.path());
        process.start(unrtf, {QStringLiteral("--html"), file});
        ASSERT_TRUE(process.waitForFinished(30000)) << file.toStdString();
        QTextDocument html;
        html.setHtml(QString::fromUtf8(process.readAllStandardOutput()));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const RtfDocument ours = readRtf(f.readAll());
        EXPECT_FALSE(ours.truncated) << file.toStdString();
        const QString expected = withoutSpaces(html.toPlainText());
        const QString actual = withoutSpaces(documentText(ours));
        EXPECT_FALSE(actual.isEmpty()) << file.toStdString();
        EXPECT_EQ(actual, expected) << file.toStdString();
        if (file.endsWith(QStringLiteral("lo_picture.rtf"))) {
            ASSERT_EQ(ours.pictures.size(), 1u);
            EXPECT_EQ(decodePicture(ours.pictures[0]).size(), QSize(16, 16));
        }
    }
}

TEST(RtfCorpus, BundledArticlesHaveTheirParts)
{
    const QString source = qEnvironmentVariable("KELMOR_SOURCE_DIR", QStringLiteral(KELMOR_SOURCE));
    const QDir texts(source + QStringLiteral("/data/texts"));
    const QStringList names = texts.entryList({QStringLiteral("*.lit")}, QDir::Files);
    ASSERT_GE(names.size(), 4);
    for (const QString &name : names) {
        QFile f(texts.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        EXPECT_TRUE(bytes.contains("\\ansicpg1251")) << name.toStdString();
        const RtfDocument doc = readRtf(bytes);
        bool heading = false, bold = false, italic = false, table = false, item = false;
        for (const RtfBlock &block : doc.blocks) {
            if (std::holds_alternative<RtfTable>(block)) {
                table = true;
                continue;
            }
            const RtfParagraph &p = std::get<RtfParagraph>(block);
            heading = heading || p.style.headingLevel > 0;
            for (const RtfRun &run : p.runs) {
                bold = bold || (run.style.bold && p.style.headingLevel == 0);
                italic = italic || run.style.italic;
                item = item || run.text.startsWith(QStringLiteral("•\t"));
            }
        }
        EXPECT_TRUE(heading && bold && italic && table && item) << name.toStdString();
        // The title is in the document as its first heading.
        EXPECT_TRUE(documentText(doc).startsWith(literatureTitle(name)));
    }
}

} // namespace
