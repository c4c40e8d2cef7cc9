#pragma once

#include "ui/helpwindow.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPrinter;
class StatusPanel;
class QToolButton;
class TFormOpenSecurity;
class TFormSecDB;

namespace dbe {
class Database;
class Table;
} // namespace dbe

// The alias of the security database the desktop has open; empty when none is. It is the whole
// state the other desktop windows read when they are created.
extern QString CurrentAlias;

// The directory part of an alias for `directory`: the path without its final "/". The root
// keeps its "/", the one directory here that cannot be named without it.
QString AliasPathFor(const QString &directory);

// The main window of the Security Administration Desktop: menus, tool bar and status bar, and
// the commands that open, create and close a security database.
class TFormAdmin : public QMainWindow
{
    Q_OBJECT

public:
    explicit TFormAdmin(QWidget *parent = nullptr);
    ~TFormAdmin() override;

    QMenu *File1 = nullptr;
    QMenu *Security1 = nullptr;
    QMenu *Tools1 = nullptr;
    QMenu *Help1 = nullptr;
    QAction *New1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *Close1 = nullptr;
    QAction *PrintSetup1 = nullptr;
    QAction *Exit1 = nullptr;
    QAction *Import1 = nullptr;
    QAction *Setup1 = nullptr;
    QAction *Generate1 = nullptr;
    QAction *Reporting1 = nullptr;
    QAction *ViewLog1 = nullptr;
    QAction *ViewUsers1 = nullptr;
    QAction *Contents1 = nullptr;
    QAction *SearchforHelp1 = nullptr;
    QAction *About1 = nullptr;

    QFrame *pnlToolBar = nullptr;
    QToolButton *spbtnNew = nullptr;
    QToolButton *spbtnOpen = nullptr;
    QToolButton *spbtnReports = nullptr;
    QToolButton *spbtnSetup = nullptr;
    QToolButton *spbtnGenerate = nullptr;
    QToolButton *spbtnHelp = nullptr;
    QFrame *sbMainStatus = nullptr;

    // The Security_Label of the open database's settings row; empty without a row.
    QString SecurityLabel;
    // Set when table creation failed; cleared only by the New command before it creates.
    bool CreateFailed = false;
    // Reads PROGRAM.DB when a database is opened and ACCESS.DB for the generator.
    dbe::Table *tblSecProg = nullptr;
    // The one Reporting window, kept from the first Reporting command until Close. It clears
    // itself when the window is destroyed.
    QPointer<TFormSecDB> FormSecDB;

    QString panelText(int panel) const;
    QPrinter *printer() const { return m_printer.get(); }
    ui::HelpWindow *helpWindow() const { return m_helpWindow; }

    void FormCreate();
    void DisplayHint(const QString &hint);
    void UpdateControls();
    void OpenSecurity(const QString &alias);

    void New1Click();
    void Open1Click();
    void Close1Click();
    void PrintSetup1Click();
    void Exit1Click();
    void Import1Click();
    void Setup1Click();
    void Generate1Click();
    void Reporting1Click();
    void ViewLog1Click();
    void ViewAudit1Click();
    void ViewUsers1Click();
    void Contents1Click();
    void SearchforHelp1Click();
    void About1Click();

protected:
    bool event(QEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    QToolButton *addToolButton(const QString &name, int left, const QIcon &glyph,
                               const QString &hint, QAction *runs);
    bool ensureHelpWindow();
    // New after its dialog closed with OK: the one creation routine of the rules library.
    void createDatabase(const TFormOpenSecurity &dialog);
    // Writes a generated source file; a failure is reported with "Unable to Save File.".
    void saveGeneratedFile(const QString &path, const QString &text);

    StatusPanel *m_panels[3] = {nullptr, nullptr, nullptr};
    std::unique_ptr<QPrinter> m_printer;
    QPointer<ui::HelpWindow> m_helpWindow;
    // The open alias's connection, held between the windows that use it: on a server each
    // window would otherwise wait for a new session to be set up and authenticated. It holds
    // no table, so no lock, and another program may restore or copy the files meanwhile.
    std::shared_ptr<dbe::Database> m_openDatabase;
};
