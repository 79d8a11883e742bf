#include "viewer/print_dialog.h"

#include "platform/cups_library.h"
#include "viewer/messages.h"
#include "viewer/tolk.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

#include <QDebug>

#include <cmath>
#include <optional>

namespace kelmor::viewer {

namespace {

// What the session keeps: the current printer and the confirmed page settings.
struct Session
{
    std::optional<QString> printer;
    struct Page
    {
        int copies = 1;
        QPageLayout::Orientation orientation = QPageLayout::Portrait;
        QPageSize pageSize;
        int resolution = 0;
    };
    std::optional<Page> page;
    PrintDialog::PrinterList list;
    PrintDialog::PrinterFactory factory;
};

Session &session()
{
    static Session s;
    return s;
}

// The printer's port: its CUPS device URI. Without the CUPS library the ports stay empty, and
// the reason is said once on standard error.
QString devicePort(const QString &name)
{
    const platform::CupsDeviceUri port = platform::cupsDeviceUri(name);
    if (!port.error.isEmpty()) {
        static const bool said = [&] {
            qWarning().noquote() << port.error;
            return true;
        }();
        Q_UNUSED(said);
    }
    return port.uri;
}

QIcon printerIcon(bool current)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor(230, 230, 230));
    p.drawRect(QRectF(1.5, 6.5, 13, 6));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
    if (current) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 150, 0));
        p.drawEllipse(QRectF(10, 9, 6, 6));
    }
    return QIcon(pixmap);
}

} // namespace

std::pair<QString, QString> GetPrinterType(const QString &name, const QString &port)
{
    QString type = name;
    QString location = port;
    if (name.startsWith(QStringLiteral("\\\\"))) {
        const qsizetype a = name.lastIndexOf(u'\\') + 1; // 1-based position
        if (a > 3) {
            location = name.left(a).trimmed();
            type = name.mid(a).trimmed();
        }
    }
    return {type, location};
}

int copiesFromText(const QString &text)
{
    // The leading number: optional spaces and sign, digits, an optional fraction.
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    const qsizetype begin = i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
        ++i;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
            ++i;
    }
    bool ok = false;
    const double value = text.mid(begin, i - begin).toDouble(&ok);
    const long rounded = ok ? std::lround(value) : 0;
    return int(std::clamp<long>(rounded, 1, 99));
}

QList<PrinterEntry> PrintDialog::printers()
{
    if (session().list)
        return session().list();
    QList<PrinterEntry> out;
    for (const QString &name : QPrinterInfo::availablePrinterNames())
        out.append({name, devicePort(name)});
    return out;
}

QString PrintDialog::currentPrinter()
{
    if (session().printer)
        return *session().printer;
    return QPrinterInfo::defaultPrinterName();
}

void PrintDialog::setPrinterList(PrinterList list)
{
    session().list = std::move(list);
}

void PrintDialog::setPrinterFactory(PrinterFactory factory)
{
    session().factory = std::move(factory);
}

void PrintDialog::resetSession()
{
    session().printer.reset();
    session().page.reset();
}

PrintDialog::PrintDialog(InterpretationView *view, QWidget *owner)
    : QDialog(owner)
    , m_view(view)
{
    setObjectName(QStringLiteral("PrintDialog"));
    setWindowTitle(QStringLiteral("Печать"));
    setModal(true);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    auto *heading = new QLabel(QStringLiteral("Печать"), this);
    heading->setObjectName(QStringLiteral("Label3"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    auto *printerFrame = new QGroupBox(QStringLiteral("Принтер"), this);
    printerFrame->setObjectName(QStringLiteral("Frame1"));
    auto *nameLabel = new QLabel(QStringLiteral("Имя:"), printerFrame);
    nameLabel->setObjectName(QStringLiteral("Label1"));
    m_printers = new QComboBox(printerFrame);
    m_printers->setObjectName(QStringLiteral("ImageCombo1"));
    nameLabel->setBuddy(m_printers);
    auto *typeCaption = new QLabel(QStringLiteral("Тип:"), printerFrame);
    typeCaption->setObjectName(QStringLiteral("Label7"));
    m_type = new QLabel(printerFrame);
    m_type->setObjectName(QStringLiteral("Label6"));
    auto *locationCaption = new QLabel(QStringLiteral("Место:"), printerFrame);
    locationCaption->setObjectName(QStringLiteral("Label4"));
    m_location = new QLabel(printerFrame);
    m_location->setObjectName(QStringLiteral("Label5"));
    auto *setup = new QPushButton(QStringLiteral("Настройки страницы"), printerFrame);
    setup->setObjectName(QStringLiteral("Command3"));
    auto *printerGrid = new QGridLayout(printerFrame);
    printerGrid->addWidget(nameLabel, 0, 0);
    printerGrid->addWidget(m_printers, 0, 1, 1, 2);
    printerGrid->addWidget(typeCaption, 1, 0);
    printerGrid->addWidget(m_type, 1, 1);
    printerGrid->addWidget(locationCaption, 2, 0);
    printerGrid->addWidget(m_location, 2, 1);
    printerGrid->addWidget(setup, 2, 2);
    printerGrid->setColumnStretch(1, 1);

    auto *rangeFrame = new QGroupBox(QStringLiteral("Диапазон печати"), this);
    rangeFrame->setObjectName(QStringLiteral("Frame2"));
    m_whole = new QRadioButton(QStringLiteral("Всё содержимое окна"), rangeFrame);
    m_whole->setObjectName(QStringLiteral("Option1"));
    m_selection = new QRadioButton(QStringLiteral("Выделенный фрагмент"), rangeFrame);
    m_selection->setObjectName(QStringLiteral("Option2"));
    auto *rangeLayout = new QVBoxLayout(rangeFrame);
    rangeLayout->addWidget(m_whole);
    rangeLayout->addWidget(m_selection);

    auto *copiesFrame = new QGroupBox(QStringLiteral("Копии"), this);
    copiesFrame->setObjectName(QStringLiteral("Frame3"));
    auto *copiesLabel = new QLabel(QStringLiteral("Число копий:"), copiesFrame);
    copiesLabel->setObjectName(QStringLiteral("Label8"));
    m_copiesText = new QLineEdit(QStringLiteral("1"), copiesFrame);
    m_copiesText->setObjectName(QStringLiteral("Text1"));
    m_copiesText->setMaxLength(2);
    m_copiesText->setFixedWidth(m_copiesText->fontMetrics().horizontalAdvance(u'0') * 4 + 8);
    copiesLabel->setBuddy(m_copiesText);
    m_copies = new QScrollBar(Qt::Vertical, copiesFrame);
    m_copies->setObjectName(QStringLiteral("VScroll1"));
    m_copies->setRange(1, 99);
    m_copies->setValue(1);
    // The upper arrow adds a copy.
    m_copies->setInvertedAppearance(true);
    m_copies->setInvertedControls(true);
    m_copies->setFixedHeight(m_copiesText->sizeHint().height());
    auto *copiesLayout = new QHBoxLayout(copiesFrame);
    copiesLayout->addWidget(copiesLabel);
    copiesLayout->addWidget(m_copiesText);
    copiesLayout->addWidget(m_copies);
    copiesLayout->addStretch(1);

    auto *ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("Command2"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(printerFrame);
    auto *row = new QHBoxLayout;
    row->addWidget(rangeFrame, 1);
    row->addWidget(copiesFrame);
    layout->addLayout(row);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(m_copiesText, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_copies->setValue(copiesFromText(text)); });
    // Written only when the value changes, so "0" or an empty field stays as typed.
    connect(m_copies, &QScrollBar::valueChanged, this,
            [this](int value) { m_copiesText->setText(QString::number(value)); });
    connect(m_printers, &QComboBox::activated, this, &PrintDialog::chooseEntry);
    connect(m_printers, &QComboBox::currentIndexChanged, this, &PrintDialog::chooseEntry);
    connect(setup, &QPushButton::clicked, this, &PrintDialog::pageSetup);
    connect(ok, &QPushButton::clicked, this, &PrintDialog::Davay);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    PrintInit();
    if (m_view->selectionLength() > 0) {
        m_selection->setChecked(true);
    } else {
        m_whole->setChecked(true);
        m_selection->setEnabled(false);
    }
}

PrintDialog::~PrintDialog() = default;

void PrintDialog::PrintInit()
{
    const QString current = currentPrinter();
    const QList<PrinterEntry> list = printers();
    QString currentPort;
    for (const PrinterEntry &p : list)
        if (p.name == current)
            currentPort = p.port;
    int match = 0;
    const QSignalBlocker block(m_printers);
    m_printers->clear();
    for (int i = 0; i < list.size(); ++i) {
        const bool isCurrent = list[i].name + list[i].port == current + currentPort;
        if (isCurrent)
            match = i;
        m_printers->addItem(printerIcon(isCurrent), list[i].name);
    }
    if (!list.isEmpty()) {
        m_printers->setCurrentIndex(match);
        const auto [type, location] = GetPrinterType(list[match].name, list[match].port);
        m_type->setText(type);
        m_location->setText(location);
    }
}

void PrintDialog::chooseEntry(int index)
{
    const QList<PrinterEntry> list = printers();
    if (index < 0 || index >= list.size())
        return;
    session().printer = list[index].name;
    const auto [type, location] = GetPrinterType(list[index].name, list[index].port);
    m_type->setText(type);
    m_location->setText(location);
}

void PrintDialog::pageSetup()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(currentPrinter());
    if (const auto &page = session().page) {
        printer.setCopyCount(page->copies);
        printer.setPageOrientation(page->orientation);
        printer.setPageSize(page->pageSize);
    }
    printer.setPageMargins(QMarginsF(30, 20, 15, 20), QPageLayout::Millimeter);
    QPageSetupDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) {
        session().page.reset();
        return;
    }
    Session::Page page;
    page.copies = printer.copyCount();
    page.orientation = printer.pageLayout().orientation();
    page.pageSize = printer.pageLayout().pageSize();
    page.resolution = printer.resolution();
    QPrinter check(QPrinter::HighResolution);
    check.setPrinterName(currentPrinter());
    if (!check.setPageSize(page.pageSize)) {
        showMessage(this, MessageIcon::Critical, QString(),
                    QStringLiteral("Принтер не поддерживает данный формат страницы."));
        return;
    }
    session().page = page;
}

void PrintDialog::printOnce(const QTextDocument *document)
{
    std::unique_ptr<QPrinter> printer;
    if (session().factory) {
        printer = session().factory(currentPrinter());
    } else {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPrinterName(currentPrinter());
    }
    if (!printer)
        return;
    if (const auto &page = session().page) {
        printer->setPageOrientation(page->orientation);
        printer->setPageSize(page->pageSize);
        if (page->resolution > 0)
            printer->setResolution(page->resolution);
    }
    printer->setDocName(m_view->tag());
    document->print(printer.get());
}

void PrintDialog::Davay()
{
    QApplication::processEvents();
    if (m_whole->isChecked())
        m_view->selectRange(m_view->selectionStart(), 0);
    const int copies = m_copies->value();
    std::unique_ptr<QTextDocument> part;
    const QTextDocument *document = m_view->document();
    if (m_view->selectionLength() > 0) {
        part = std::make_unique<QTextDocument>();
        part->setDefaultFont(m_view->document()->defaultFont());
        QTextCursor(part.get()).insertFragment(m_view->textCursor().selection());
        document = part.get();
    }
    for (int copy = 1; copy <= copies; ++copy) {
        QApplication::processEvents();
        printOnce(document);
        QApplication::processEvents();
    }
    accept();
}

} // namespace kelmor::viewer
