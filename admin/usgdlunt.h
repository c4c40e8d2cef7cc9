#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TDateEdit;

// Asks for the first and last day of the Usage report.
class TFrmUsageDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TFrmUsageDlg(QWidget *parent = nullptr);

    QLabel *lblStart = nullptr;
    TDateEdit *dedStart = nullptr;
    QLabel *lblEnd = nullptr;
    TDateEdit *dedEnd = nullptr;
    QPushButton *bbtnOk = nullptr;
    QPushButton *bbtnCancel = nullptr;

    // OK: refused with a message, the dialog staying open on the start date, while the start
    // date comes after the ending date.
    void accept() override;
};
