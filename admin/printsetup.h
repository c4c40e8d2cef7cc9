#pragma once

#include <QDialog>
#include <QList>
#include <QPageSize>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPrinter;
class QRadioButton;

// Print Setup: which of the system's printers the desktop prints on, and its paper and
// orientation. Only the printers the system really has are offered; OK puts the choice into the
// printer, Cancel leaves it as it was.
class PrintSetupDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PrintSetupDialog(QPrinter *printer, QWidget *parent = nullptr);

    QComboBox *cmbPrinter = nullptr;
    QComboBox *cmbPaper = nullptr;
    QRadioButton *rbPortrait = nullptr;
    QRadioButton *rbLandscape = nullptr;
    QLabel *lblNoPrinter = nullptr;
    QDialogButtonBox *buttons = nullptr;

private:
    // The paper sizes of the printer chosen, keeping the paper chosen so far where it has it.
    void listPaper();
    void store();

    QPrinter *m_printer;
    // The sizes cmbPaper lists, in its order: a driver may offer one size twice (with and
    // without borders), which only the size itself tells apart.
    QList<QPageSize> m_paperSizes;
};
