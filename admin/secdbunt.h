#pragma once

#include <QWidget>

#include <functional>

class QComboBox;
class QFrame;
class QLabel;
class QSpinBox;
class QToolButton;
class TFormGenNav;
class TFormGenWin;

namespace securityreports {
class SecurityReports;
}

// The Reporting window: previews and prints the five security reports of one database. It is
// not modal; the main window keeps one and shows it again, and closing it only hides it.
class TFormSecDB : public QWidget
{
    Q_OBJECT

public:
    explicit TFormSecDB(QWidget *owner = nullptr);
    ~TFormSecDB() override;

    QFrame *pnlTopArea = nullptr;
    QLabel *lblReport = nullptr;
    QComboBox *cmboxReportType = nullptr;
    QToolButton *spbtnExecute = nullptr;
    TFormGenNav *fgnReport = nullptr;
    // "Page [x] of y": shows the page on view and goes to the page typed.
    QLabel *lblPage = nullptr;
    QSpinBox *spnPage = nullptr;
    QLabel *lblPageCount = nullptr;
    QToolButton *spbtnSavePdf = nullptr;
    TFormGenWin *fgwMain = nullptr;
    // The data sets and the five report layouts.
    securityreports::SecurityReports *Reports = nullptr;

    // The alias the window reports on, set once by the main window before AssignAlias.
    QString AliasName;
    void AssignAlias();

    // Build: records the chosen report into the preview. An engine error ends the build: its
    // text goes to an error box and to the log, and the report's data sets are closed again.
    void spbtnExecuteClick();
    bool FormCloseQuery();

    // The navigator's Print: on the printer chosen in Print Setup (the system's default when
    // none was chosen or it has gone). Without any printer, says so and offers Save as PDF.
    void printReport();
    // Saves the report on view to a PDF file the user names.
    void saveAsPdf();
    // Asks for the PDF file's name; empty for Cancel. A file dialog unless replaced.
    std::function<QString(const QString &suggested)> AskPdfFileName;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildTopArea();
    void showPageCount();

    // Set while a report is built. The preview lets pending events through to paint its
    // please-wait box, and a second click on Build then must not start another build on the
    // same data sets.
    bool m_building = false;
};
