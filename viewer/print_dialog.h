#pragma once

// The print dialog of the viewer: printer, page setup, range and copies.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>

class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QRadioButton;
class QScrollBar;
class QTextDocument;

namespace kelmor::viewer {

class InterpretationView;

// Type and location texts of a printer: a network name "\\server\share" gives the share as
// type and "\\server\" as location; any other printer its name as type and its port as
// location.
std::pair<QString, QString> GetPrinterType(const QString &name, const QString &port);

// The copies field: its leading number rounded, limited to 1..99 (0, empty or letters give 1).
int copiesFromText(const QString &text);

// A printer of the system.
struct PrinterEntry
{
    QString name;
    QString port; // on CUPS the device URI
};

class PrintDialog : public QDialog
{
    Q_OBJECT
public:
    PrintDialog(InterpretationView *view, QWidget *owner);
    ~PrintDialog() override;

    // The system's printers, in the system's order.
    static QList<PrinterEntry> printers();
    static bool systemHasPrinters() { return !printers().isEmpty(); }
    // The application's current printer (the system default until one is chosen here).
    static QString currentPrinter();

    // Tests replace the printer list and the printer each print job goes to.
    using PrinterList = std::function<QList<PrinterEntry>()>;
    using PrinterFactory = std::function<std::unique_ptr<QPrinter>(const QString &printerName)>;
    static void setPrinterList(PrinterList list);
    static void setPrinterFactory(PrinterFactory factory);
    // Forgets the current printer and the page settings (tests).
    static void resetSession();

    void PrintInit();
    // Prints one job per copy, then closes the dialog.
    void Davay();
    void chooseEntry(int index);
    void pageSetup();

    QComboBox *printerList() const { return m_printers; }
    QRadioButton *wholeOption() const { return m_whole; }
    QRadioButton *selectionOption() const { return m_selection; }
    QLineEdit *copiesField() const { return m_copiesText; }
    QScrollBar *copiesSpinner() const { return m_copies; }
    QLabel *typeLabel() const { return m_type; }
    QLabel *locationLabel() const { return m_location; }

private:
    void printOnce(const QTextDocument *document);

    InterpretationView *m_view;
    QComboBox *m_printers;
    QLabel *m_type;
    QLabel *m_location;
    QRadioButton *m_whole;
    QRadioButton *m_selection;
    QLineEdit *m_copiesText;
    QScrollBar *m_copies;
};

} // namespace kelmor::viewer
