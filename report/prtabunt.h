#pragma once

#include <QDialog>

class QLabel;
class QPrinter;
class QProgressBar;
class QPushButton;

// Shows which printer a job goes to and how far it has come, and offers to abort it.
class TfrmPrintAbort : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmPrintAbort(const QPrinter &printer, QWidget *parent = nullptr);

    void SetProgress(int percent);
    bool AbortRequested() const { return m_abortRequested; }

    QLabel *lblPrinterName = nullptr;
    QProgressBar *prbarStat = nullptr;
    QPushButton *BitBtn1 = nullptr;

Q_SIGNALS:
    // The job's owner aborts the printer's job.
    void abortRequested();

protected:
    // Closing the box is taken as Abort: nobody would close the progress of a job they want.
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void BitBtn1Click();

    bool m_abortRequested = false;
};
