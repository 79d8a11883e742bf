#include "viewer/article_document.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace kelmor::viewer {

namespace {

constexpr double kTwipsPerPixel = 15.0;

double pixels(int twips)
{
    return twips / kTwipsPerPixel;
}

quint32 le32(const QByteArray &data, qsizetype at)
{
    if (at < 0 || at + 4 > data.size())
        return 0;
    const auto *p = reinterpret_cast<const unsigned char *>(data.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 le16(const QByteArray &data, qsizetype at)
{
    if (at < 0 || at + 2 > data.size())
        return 0;
    const auto *p = reinterpret_cast<const unsigned char *>(data.constData() + at);
    return quint16(p[0] | p[1] << 8);
}

void appendLe32(QByteArray &out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

// A device-independent bitmap (BITMAPINFO and the bits) as a BMP file; empty when the header
// does not describe a bitmap that fits the data.
QByteArray dibToBmp(const QByteArray &dib)
{
    const quint32 headerSize = le32(dib, 0);
    quint32 bitCount = 0;
    quint64 palette = 0;
    quint64 masks = 0;
    if (headerSize == 12) {
        bitCount = le16(dib, 10);
        palette = bitCount <= 8 ? (quint64(1) << bitCount) * 3 : 0;
    } else if (headerSize >= 40 && headerSize <= 124) {
        bitCount = le16(dib, 14);
        const quint32 compression = le32(dib, 16);
        const quint32 used = le32(dib, 32);
        const quint64 colors = used ? used : (bitCount <= 8 ? quint64(1) << bitCount : 0);
        if (colors > 65536)
            return {};
        palette = colors * 4;
        if (headerSize == 40 && compression == 3)
            masks = 12;
        else if (headerSize == 40 && compression == 6)
            masks = 16;
    } else {
        return {};
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return {};
    const quint64 bitsOffset = headerSize + masks + palette;
    if (bitsOffset >= quint64(dib.size()))
        return {};
    QByteArray bmp("BM");
    appendLe32(bmp, quint32(14 + dib.size()));
    appendLe32(bmp, 0);
    appendLe32(bmp, quint32(14 + bitsOffset));
    bmp.append(dib);
    return bmp;
}

QFont::StyleHint styleHint(RtfCharStyle::Generic generic)
{
    switch (generic) {
    case RtfCharStyle::Generic::Roman:
        return QFont::Serif;
    case RtfCharStyle::Generic::Swiss:
        return QFont::SansSerif;
    case RtfCharStyle::Generic::Modern:
        return QFont::TypeWriter;
    case RtfCharStyle::Generic::Script:
        return QFont::Cursive;
    case RtfCharStyle::Generic::Decorative:
        return QFont::Decorative;
    default:
        return QFont::AnyStyle;
    }
}

QTextCharFormat charFormat(const RtfCharStyle &style)
{
    QTextCharFormat f;
    if (!style.family.isEmpty()) {
        f.setFontFamilies({style.family});
        f.setFontStyleHint(styleHint(style.generic));
    }
    if (style.halfPoints > 0)
        f.setFontPointSize(style.halfPoints / 2.0);
    if (style.bold)
        f.setFontWeight(QFont::Bold);
    if (style.italic)
        f.setFontItalic(true);
    if (style.underline)
        f.setFontUnderline(true);
    if (style.strike)
        f.setFontStrikeOut(true);
    if (style.allCaps)
        f.setFontCapitalization(QFont::AllUppercase);
    else if (style.smallCaps)
        f.setFontCapitalization(QFont::SmallCaps);
    if (style.position == RtfCharStyle::Position::Superscript)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (style.position == RtfCharStyle::Position::Subscript)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (style.color)
        f.setForeground(QColor::fromRgb(*style.color));
    if (style.background)
        f.setBackground(QColor::fromRgb(*style.background));
    return f;
}

QTextBlockFormat blockFormat(const RtfParagraphStyle &style)
{
    QTextBlockFormat b;
    switch (style.alignment) {
    case RtfParagraphStyle::Alignment::Left:
        b.setAlignment(Qt::AlignLeft);
        break;
    case RtfParagraphStyle::Alignment::Right:
        b.setAlignment(Qt::AlignRight);
        break;
    case RtfParagraphStyle::Alignment::Center:
        b.setAlignment(Qt::AlignHCenter);
        break;
    case RtfParagraphStyle::Alignment::Justify:
        b.setAlignment(Qt::AlignJustify);
        break;
    }
    const double left = pixels(std::max(0, style.leftIndent));
    b.setLeftMargin(left);
    b.setRightMargin(pixels(std::max(0, style.rightIndent)));
    // A hanging first line never starts left of the page.
    b.setTextIndent(std::max(pixels(style.firstLineIndent), -left));
    b.setTopMargin(pixels(style.spaceBefore));
    b.setBottomMargin(pixels(style.spaceAfter));
    switch (style.lineSpacingRule) {
    case RtfParagraphStyle::LineSpacing::Auto:
        break;
    case RtfParagraphStyle::LineSpacing::AtLeast:
        b.setLineHeight(pixels(style.lineSpacing), QTextBlockFormat::MinimumHeight);
        break;
    case RtfParagraphStyle::LineSpacing::Exactly:
        b.setLineHeight(pixels(style.lineSpacing), QTextBlockFormat::FixedHeight);
        break;
    case RtfParagraphStyle::LineSpacing::Multiple:
        b.setLineHeight(std::clamp(style.lineSpacing * 100.0 / 240.0, 50.0, 500.0),
                        QTextBlockFormat::ProportionalHeight);
        break;
    }
    // Tab stops are measured from the page's left edge, the layout's from where the first line
    // starts (the left indent plus the first-line indent). A hanging indent has an implied tab
    // stop at the indent (list items).
    const double firstLine = left + b.textIndent();
    QList<QTextOption::Tab> tabs;
    std::vector<int> stops = style.tabStops;
    if (style.firstLineIndent < 0 && style.leftIndent > 0)
        stops.push_back(style.leftIndent);
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
    for (const int stop : stops) {
        if (pixels(stop) > firstLine)
            tabs.append(QTextOption::Tab(pixels(stop) - firstLine, QTextOption::LeftTab));
    }
    if (!tabs.isEmpty())
        b.setTabPositions(tabs);
    if (style.headingLevel > 0)
        b.setHeadingLevel(style.headingLevel);
    if (style.pageBreakBefore)
        b.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    return b;
}

class Writer
{
public:
    Writer(QTextDocument *document, const RtfDocument &article)
        : m_document(document)
        , m_article(article)
    {
    }

    void write();

private:
    void paragraph(QTextCursor &cursor, bool &fresh, const RtfParagraph &p);
    void table(QTextCursor &cursor, bool &fresh, const RtfTable &t);
    QString imageName(int index);

    QTextDocument *m_document;
    const RtfDocument &m_article;
    std::map<int, QString> m_images; // picture index → resource name; empty: not decodable
};

void Writer::write()
{
    QTextCursor cursor(m_document);
    cursor.beginEditBlock();
    bool fresh = true;
    for (const RtfBlock &block : m_article.blocks) {
        if (const auto *p = std::get_if<RtfParagraph>(&block))
            paragraph(cursor, fresh, *p);
        else
            table(cursor, fresh, std::get<RtfTable>(block));
    }
    cursor.endEditBlock();
}

QString Writer::imageName(int index)
{
    const auto known = m_images.find(index);
    if (known != m_images.end())
        return known->second;
    QString name;
    if (index >= 0 && index < int(m_article.pictures.size())) {
        const QImage image = decodePicture(m_article.pictures[std::size_t(index)]);
        if (!image.isNull()) {
            name = QStringLiteral("kelmor-article-picture:%1").arg(index);
            m_document->addResource(QTextDocument::ImageResource, QUrl(name), image);
        }
    }
    m_images.emplace(index, name);
    return name;
}

void Writer::paragraph(QTextCursor &cursor, bool &fresh, const RtfParagraph &p)
{
    const QTextBlockFormat bf = blockFormat(p.style);
    const QTextCharFormat mark = charFormat(p.markStyle);
    if (fresh) {
        cursor.setBlockFormat(bf);
        cursor.setBlockCharFormat(mark);
        fresh = false;
    } else {
        cursor.insertBlock(bf, mark);
    }
    for (const RtfRun &run : p.runs) {
        if (run.picture >= 0) {
            const QString name = imageName(run.picture);
            if (name.isEmpty())
                continue;
            const RtfPicture &picture = m_article.pictures[std::size_t(run.picture)];
            const QImage image =
                m_document->resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
            const QSize size = pictureDisplaySize(picture, image.size());
            QTextImageFormat f;
            f.setName(name);
            f.setWidth(size.width());
            f.setHeight(size.height());
            cursor.insertImage(f);
            continue;
        }
        cursor.insertText(run.text, charFormat(run.style));
    }
}

void Writer::table(QTextCursor &cursor, bool &fresh, const RtfTable &t)
{
    int columns = 0;
    const RtfRow *widest = nullptr;
    for (const RtfRow &row : t.rows) {
        if (int(row.cells.size()) > columns) {
            columns = int(row.cells.size());
            widest = &row;
        }
    }
    if (columns == 0)
        return;
    QTextTableFormat format;
    format.setBorder(1);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderBrush(QColor(0x80, 0x80, 0x80));
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(3);
    // Column widths in proportion to the cells' right edges, when every column has a positive
    // one: the table fills the view's width, however narrow the window is.
    QList<int> twips;
    int edge = widest->left;
    for (const RtfCell &cell : widest->cells) {
        if (cell.rightEdge <= edge)
            break;
        twips.append(cell.rightEdge - edge);
        edge = cell.rightEdge;
    }
    if (twips.size() == columns) {
        const double total = edge - widest->left;
        QList<QTextLength> widths;
        for (const int w : std::as_const(twips))
            widths.append(QTextLength(QTextLength::PercentageLength, 100.0 * w / total));
        format.setColumnWidthConstraints(widths);
    }
    if (widest->left > 0)
        format.setLeftMargin(pixels(widest->left));

    // A table is preceded by a paragraph of its own; the first one of the document serves.
    if (!fresh)
        cursor.insertBlock();
    fresh = false;
    QTextTable *table = cursor.insertTable(int(t.rows.size()), columns, format);
    for (int r = 0; r < int(t.rows.size()); ++r) {
        const RtfRow &row = t.rows[std::size_t(r)];
        for (int c = 0; c < int(row.cells.size()); ++c) {
            const RtfCell &cell = row.cells[std::size_t(c)];
            QTextTableCell target = table->cellAt(r, c);
            QTextCursor inside = target.firstCursorPosition();
            bool cellFresh = true;
            for (const RtfParagraph &p : cell.paragraphs)
                paragraph(inside, cellFresh, p);
            // The cell's format is that of its first block's mark: set once the text is in.
            if (cell.background) {
                QTextTableCellFormat cf = target.format().toTableCellFormat();
                cf.setBackground(QColor::fromRgb(*cell.background));
                target.setFormat(cf);
            }
        }
    }
    cursor = m_document->rootFrame()->lastCursorPosition();
    fresh = true;
}

} // namespace

QImage decodePicture(const RtfPicture &picture)
{
    QByteArray data;
    QByteArray format;
    switch (picture.format) {
    case RtfPicture::Format::Png:
        data = picture.data;
        format = "png";
        break;
    case RtfPicture::Format::Jpeg:
        data = picture.data;
        format = "jpeg";
        break;
    case RtfPicture::Format::Dib:
        data = dibToBmp(picture.data);
        format = "bmp";
        break;
    }
    if (data.isEmpty())
        return {};
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > kMaxPictureSide ||
        size.height() > kMaxPictureSide || qint64(size.width()) * size.height() > kMaxPicturePixels)
        return {};
    QImage image;
    if (!reader.read(&image))
        return {};
    return image;
}

QSize pictureDisplaySize(const RtfPicture &picture, const QSize &imageSize)
{
    double w = picture.goalWidth > 0 ? pixels(picture.goalWidth) : imageSize.width();
    double h = picture.goalHeight > 0 ? pixels(picture.goalHeight) : imageSize.height();
    w *= (picture.scaleX > 0 ? picture.scaleX : 100) / 100.0;
    h *= (picture.scaleY > 0 ? picture.scaleY : 100) / 100.0;
    const double largest = std::max(w, h);
    if (largest > kMaxPictureSide) {
        w *= kMaxPictureSide / largest;
        h *= kMaxPictureSide / largest;
    }
    return QSize(std::max(1, int(w + 0.5)), std::max(1, int(h + 0.5)));
}

void setArticleDocument(QTextDocument *document, const RtfDocument &article, const QFont &base)
{
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();
    document->setDefaultFont(base);
    Writer(document, article).write();
    document->setUndoRedoEnabled(undo);
}

QString articleViewText(const QTextDocument *document)
{
    QString text = document->toRawText();
    for (QChar &c : text) {
        switch (c.unicode()) {
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
        case 0xFDD0: // beginning of a frame (a table, a cell)
        case 0xFDD1: // end of a frame
            c = u'\n';
            break;
        case QChar::ObjectReplacementCharacter:
            c = u' ';
            break;
        default:
            break;
        }
    }
    return text;
}

RtfDocument loadArticle(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    const auto fail = [&](const QString &what) {
        throw std::runtime_error((what + shown).toStdString());
    };
    QFile file(path);
    if (!QFileInfo(path).isFile())
        fail(QStringLiteral("Файл статьи не найден: "));
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Не удалось открыть файл статьи: "));
    if (file.size() > kMaxArticleBytes)
        fail(QStringLiteral("Файл статьи слишком велик: "));
    const QByteArray bytes = file.read(kMaxArticleBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxArticleBytes)
        fail(QStringLiteral("Не удалось прочитать файл статьи: "));
    return readArticle(bytes);
}

} // namespace kelmor::viewer
