#include "admin/admnunt.h"

#include "admin/databasenames.h"
#include "admin/dirslunt.h"
#include "admin/filebrowsers.h"
#include "admin/formstyle.h"
#include "admin/frmabout.h"
#include "admin/gendlunt.h"
#include "admin/impunt.h"
#include "admin/logging.h"
#include "admin/passwordprompt.h"
#include "admin/pickdlg.h"
#include "admin/printsetup.h"
#include "admin/secdbunt.h"
#include "admin/statuspanel.h"
#include "admin/vwauditunt.h"
#include "admin/vwlogunt.h"
#include "admin/vwusrunt.h"
#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/constantsource.h"
#include "rules/createdatabase.h"
#include "rules/schema.h"
#include "setup/frmsecmn.h"
#include "ui/engineerror.h"
#include "ui/formkit.h"
#include "ui/glyphs.h"
#include "ui/helpkey.h"
#include "ui/helpwindow.h"
#include "ui/messages.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPrinter>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>

QString CurrentAlias;

namespace {

// The desktop's help book, a folder of share/vesksecure/help.

const QString NoSecurityFiles =
    QStringLiteral("Valid Security files were not found at the location specified by the "
                   "selected alias.  Check your BDE configuration for possible errors.");

} // namespace

QString AliasPathFor(const QString &directory)
{
    QString path = directory;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

TFormAdmin::TFormAdmin(QWidget *parent)
    : QMainWindow(parent), tblSecProg(new dbe::Table(this)), m_printer(std::make_unique<QPrinter>())
{
    setObjectName(QStringLiteral("FormAdmin"));
    setWindowTitle(QStringLiteral("Security Administration Desktop"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    resize(464, 329);
    tblSecProg->setObjectName(QStringLiteral("tblSecProg"));

    buildMenus();
    auto *client = new QWidget;
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    layout->addWidget(pnlToolBar);
    auto *workspace = new QWidget;
    workspace->setObjectName(QStringLiteral("pnlWorkspace"));
    workspace->setAutoFillBackground(true);
    QPalette workspaceColours = workspace->palette();
    // The application-workspace colour of the old desktop: a mid grey behind no documents.
    workspaceColours.setColor(QPalette::Window, QColor(128, 128, 128));
    workspace->setPalette(workspaceColours);
    layout->addWidget(workspace, 1);
    buildStatusBar();
    layout->addWidget(sbMainStatus);
    setCentralWidget(client);

    TPasswordPrompt::install();
    ui::installHelpKey(this, QStringLiteral("mainwindow.html"));
    FormCreate();
}

TFormAdmin::~TFormAdmin()
{
    TPasswordPrompt::uninstall();
}

void TFormAdmin::buildMenus()
{
    const auto item = [this](QMenu *menu, const QString &name, const QString &text,
                             const QString &hint, void (TFormAdmin::*handler)()) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        action->setStatusTip(hint);
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenuBar *bar = menuBar();
    File1 = bar->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    New1 = item(File1, QStringLiteral("New1"), QStringLiteral("&New"),
                QStringLiteral("Create new security database"), &TFormAdmin::New1Click);
    Open1 = item(File1, QStringLiteral("Open1"), QStringLiteral("&Open..."),
                 QStringLiteral("Open existing security database"), &TFormAdmin::Open1Click);
    Close1 = item(File1, QStringLiteral("Close1"), QStringLiteral("&Close"),
                  QStringLiteral("Close Security Database"), &TFormAdmin::Close1Click);
    File1->addSeparator();
    PrintSetup1 = item(File1, QStringLiteral("PrintSetup1"), QStringLiteral("P&rint Setup..."),
                       QStringLiteral("Change printer settings"), &TFormAdmin::PrintSetup1Click);
    File1->addSeparator();
    Exit1 = item(File1, QStringLiteral("Exit1"), QStringLiteral("E&xit"),
                 QStringLiteral("Quit Security Administration"), &TFormAdmin::Exit1Click);

    Security1 = bar->addMenu(QStringLiteral("&Security"));
    Security1->setObjectName(QStringLiteral("Security1"));
    Import1 = item(Security1, QStringLiteral("Import1"), QStringLiteral("&Import..."),
                   QStringLiteral("Import data from previous version"), &TFormAdmin::Import1Click);
    Setup1 = item(Security1, QStringLiteral("Setup1"), QStringLiteral("&Setup..."),
                  QStringLiteral("Modify Security Databases"), &TFormAdmin::Setup1Click);
    Generate1 = item(Security1, QStringLiteral("Generate1"), QStringLiteral("&Generate..."),
                     QStringLiteral("Output security constants"), &TFormAdmin::Generate1Click);

    Tools1 = bar->addMenu(QStringLiteral("&Tools"));
    Tools1->setObjectName(QStringLiteral("Tools1"));
    Reporting1 =
        item(Tools1, QStringLiteral("Reporting1"), QStringLiteral("&Reporting..."),
             QStringLiteral("Preview and print security reports"), &TFormAdmin::Reporting1Click);
    ViewLog1 = item(Tools1, QStringLiteral("ViewLog1"), QStringLiteral("&View Log"),
                    QStringLiteral("View the activity log table"), &TFormAdmin::ViewLog1Click);
    item(Tools1, QStringLiteral("ViewAudit1"), QStringLiteral("View &Audit"),
         QStringLiteral("View and verify the audit trail"), &TFormAdmin::ViewAudit1Click);
    ViewUsers1 =
        item(Tools1, QStringLiteral("ViewUsers1"), QStringLiteral("View &Users"),
             QStringLiteral("View network users in security"), &TFormAdmin::ViewUsers1Click);

    Help1 = bar->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Contents1 = item(Help1, QStringLiteral("Contents1"), QStringLiteral("&Contents"),
                     QStringLiteral("View help contents"), &TFormAdmin::Contents1Click);
    SearchforHelp1 =
        item(Help1, QStringLiteral("SearchforHelp1"), QStringLiteral("&Search for Help"),
             QStringLiteral("Search help for a keyword"), &TFormAdmin::SearchforHelp1Click);
    Help1->addSeparator();
    About1 = item(Help1, QStringLiteral("About1"), QStringLiteral("&About"),
                  QStringLiteral("View Program Information"), &TFormAdmin::About1Click);
}

QToolButton *TFormAdmin::addToolButton(const QString &name, int left, const QIcon &glyph,
                                       const QString &hint, QAction *runs)
{
    QToolButton *button =
        formkit::placeGlyphButton(pnlToolBar, name, {left, 2, 25, 25}, glyph, QSize(16, 16));
    // "short|long": the short part is the tooltip, the long part goes to the status bar.
    button->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
    button->setAccessibleName(hint.section(QLatin1Char('|'), 0, 0));
    button->setStatusTip(hint.section(QLatin1Char('|'), 1));
    connect(button, &QToolButton::clicked, runs, &QAction::trigger);
    return button;
}

void TFormAdmin::buildToolBar()
{
    pnlToolBar = new QFrame;
    pnlToolBar->setObjectName(QStringLiteral("pnlToolBar"));
    pnlToolBar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlToolBar->setFixedHeight(30);
    spbtnNew = addToolButton(QStringLiteral("spbtnNew"), 8, glyphs::newDatabase(),
                             QStringLiteral("New|Create new security database"), New1);
    spbtnOpen = addToolButton(QStringLiteral("spbtnOpen"), 33, glyphs::openDatabase(),
                              QStringLiteral("Open|Open existing security database"), Open1);
    spbtnReports =
        addToolButton(QStringLiteral("spbtnReports"), 64, glyphs::reports(),
                      QStringLiteral("Reports|Preview and print security reports"), Reporting1);
    spbtnSetup = addToolButton(QStringLiteral("spbtnSetup"), 89, glyphs::setup(),
                               QStringLiteral("Setup|Modify Security Databases"), Setup1);
    spbtnGenerate = addToolButton(QStringLiteral("spbtnGenerate"), 114, glyphs::generate(),
                                  QStringLiteral("Generate|Output security constants"), Generate1);
    spbtnHelp = addToolButton(QStringLiteral("spbtnHelp"), 146, glyphs::help(),
                              QStringLiteral("Help|Display Contents of Help File"), Contents1);
}

void TFormAdmin::buildStatusBar()
{
    sbMainStatus = new QFrame;
    sbMainStatus->setObjectName(QStringLiteral("sbMainStatus"));
    sbMainStatus->setFixedHeight(19);
    auto *layout = new QHBoxLayout(sbMainStatus);
    layout->setContentsMargins(0, 1, 0, 0);
    layout->setSpacing(2);
    const QString designTexts[3] = {QStringLiteral("Hint"), QStringLiteral("Alias"),
                                    QStringLiteral("Title")};
    const int widths[3] = {200, 120, 200};
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new StatusPanel(designTexts[i]);
        m_panels[i]->setObjectName(QStringLiteral("sbMainStatusPanel%1").arg(i));
        m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_panels[i]->setIndent(2);
        // The window is narrower than the three panels together; the last one takes what is
        // left rather than running off the edge.
        if (i < 2)
            m_panels[i]->setFixedWidth(widths[i]);
        else
            m_panels[i]->setMinimumWidth(0);
        m_panels[i]->setSizePolicy(i < 2 ? QSizePolicy::Fixed : QSizePolicy::Ignored,
                                   QSizePolicy::Preferred);
        layout->addWidget(m_panels[i], i < 2 ? 0 : 1);
    }
}

QString TFormAdmin::panelText(int panel) const
{
    return m_panels[panel]->text();
}

void TFormAdmin::FormCreate()
{
    CurrentAlias.clear();
    UpdateControls();
}

bool TFormAdmin::event(QEvent *event)
{
    // Menu items and tool buttons send their long hints here as the pointer moves over them,
    // and an empty one when it leaves them.
    if (event->type() == QEvent::StatusTip) {
        DisplayHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TFormAdmin::DisplayHint(const QString &hint)
{
    m_panels[0]->setText(hint);
}

void TFormAdmin::UpdateControls()
{
    const bool open = !CurrentAlias.isEmpty();
    Security1->menuAction()->setVisible(open);
    Tools1->menuAction()->setVisible(open);
    Close1->setEnabled(open);
    spbtnSetup->setEnabled(open);
    spbtnGenerate->setEnabled(open);
    spbtnReports->setEnabled(open);
    Import1->setEnabled(open);
    if (open) {
        m_panels[2]->setText(SecurityLabel);
        m_panels[1]->setText(QStringLiteral("Alias: ") + CurrentAlias);
    } else {
        m_panels[2]->clear();
        m_panels[1]->setText(QStringLiteral("Alias:"));
    }
}

namespace {

// While the desktop opens a database, the engine's prompt names the alias the administrator
// chose instead of a table file, and counts how often it asked. The prompt it replaced comes
// back afterwards; where none was installed (nobody to answer) none is asked.
class MasterPasswordTries
{
public:
    static constexpr int Attempts = 3;

    MasterPasswordTries(const QString &alias, QWidget *parent)
        : m_replaced(dbe::Session::instance().passwordPrompt())
    {
        if (!m_replaced)
            return;
        dbe::Session::instance().setPasswordPrompt(
            [this, alias, parent](const QString &) -> std::optional<QString> {
                ++m_asked;
                std::optional<QString> answer =
                    TPasswordPrompt::askForDatabase(parent, alias, m_asked, Attempts);
                m_cancelled = !answer;
                return answer;
            });
    }
    ~MasterPasswordTries() { dbe::Session::instance().setPasswordPrompt(m_replaced); }
    MasterPasswordTries(const MasterPasswordTries &) = delete;
    MasterPasswordTries &operator=(const MasterPasswordTries &) = delete;

    int asked() const { return m_asked; }
    bool cancelled() const { return m_cancelled; }

private:
    dbe::PasswordPrompt m_replaced;
    int m_asked = 0;
    bool m_cancelled = false;
};

} // namespace

void TFormAdmin::OpenSecurity(const QString &alias)
{
    MasterPasswordTries tries(alias, this);
    tblSecProg->setDatabaseName(alias);
    tblSecProg->setTableName(security::tables::Program);
    for (;;) {
        const int askedBefore = tries.asked();
        try {
            tblSecProg->open();
            tblSecProg->first();
            SecurityLabel = tblSecProg->isEmpty()
                                ? QString()
                                : tblSecProg->asString(security::fields::SecurityLabel);
            tblSecProg->close();
            CurrentAlias = alias;
            m_openDatabase = dbe::Session::instance().database(alias);
            break;
        } catch (const std::exception &error) {
            tblSecProg->close();
            qCInfo(admin::lcAdmin).noquote()
                << "no security database under the alias" << alias << "-" << error.what();
            // A password typed and refused is the administrator's slip, not a fault of the
            // place: the open database stays open and the prompt comes again, a few times.
            if (tries.asked() > askedBefore) {
                if (!tries.cancelled() && tries.asked() < MasterPasswordTries::Attempts)
                    continue;
                if (!tries.cancelled())
                    ui::showError(this, QStringLiteral("The master password of %1 was not "
                                                       "accepted. The database was not opened.")
                                            .arg(alias));
                break;
            }
            // Whatever else went wrong (unknown alias, missing files), the alias does not lead
            // to a security database; the engine's own text went to the log.
            ui::showError(this, NoSecurityFiles);
            CurrentAlias.clear();
            m_openDatabase.reset();
            break;
        }
    }
    // The Reporting window reports on the open database only; it goes when another is opened
    // (or none is left open), so that no report of the old one is taken for the new one.
    if (FormSecDB && FormSecDB->AliasName != CurrentAlias)
        delete FormSecDB;
    UpdateControls();
}

void TFormAdmin::New1Click()
{
    CreateFailed = false;
    std::unique_ptr<TFormOpenSecurity> dialog(new TFormOpenSecurity(this));
    if (dialog->exec() == QDialog::Accepted)
        createDatabase(*dialog);
}

void TFormAdmin::createDatabase(const TFormOpenSecurity &dialog)
{
    const QString alias = dialog.cmboxAlias->currentText();
    // An alias that exists already (chosen from the list, or typed again) keeps its place: the
    // tables go where it points, whatever the dialog shows, so that is where to look for them.
    const bool aliasExists =
        dialog.aliasItemIndex() >= 0 || dbe::Session::instance().hasAlias(alias);
    const security::DatabasePlace place = aliasExists ? security::DatabasePlace{} : dialog.place();
    std::optional<security::DatabaseCreation> creation;
    try {
        creation.emplace(alias, place, dialog.edPassword->text());
    } catch (const std::exception &error) {
        qCInfo(admin::lcAdmin).noquote()
            << "reaching the place for" << alias << "failed:" << error.what();
        // A server's refusal (no such host, wrong role password) is worth more than the bare
        // line; the directory's failures keep the old message alone.
        QString message = QStringLiteral("Unable to Add Databases.");
        if (place.onServer())
            message += QStringLiteral("\n\n") + QString::fromUtf8(error.what());
        ui::showError(this, message);
        return;
    }
    if (!creation->existingTables().isEmpty()) {
        ui::showError(this, QStringLiteral("Security databases found at this location. "
                                           "Please remove databases or select a new "
                                           "directory."));
        return;
    }
    // A typed name that is taken cannot be added again; creation goes on under it.
    if (dialog.aliasItemIndex() < 0 && aliasExists)
        ui::showError(this, QStringLiteral("Unable to add alias."));
    try {
        // New has found no table there; one that turns up meanwhile (another desktop creating
        // at the same place) is refused rather than emptied.
        creation->create(security::ExistingTables::Refuse);
    } catch (const dbe::Error &error) {
        ui::showError(this, error.text());
        CreateFailed = true;
        return;
    }
    creation.reset();
    OpenSecurity(alias);
}

void TFormAdmin::Open1Click()
{
    const QStringList names = KnownDatabaseNames();
    const int index =
        PickFromList(QStringLiteral("Alias:"), QStringLiteral("Select Security Alias"), names,
                     this, names.indexOf(CurrentAlias));
    if (index < 0)
        return;
    // An alias another program saved since the start becomes known to the session by reading
    // the configuration again; every alias of the desktop's own is saved already.
    dbe::Session &session = dbe::Session::instance();
    if (!session.hasAlias(names.at(index)))
        ui::runGuarded(this, [&session] { session.reloadConfig(); });
    OpenSecurity(names.at(index));
}

void TFormAdmin::Close1Click()
{
    delete FormSecDB;
    CurrentAlias.clear();
    m_openDatabase.reset();
    UpdateControls();
}

void TFormAdmin::PrintSetup1Click()
{
    PrintSetupDialog dialog(m_printer.get(), this);
    dialog.exec();
}

void TFormAdmin::Exit1Click()
{
    close();
}

void TFormAdmin::Setup1Click()
{
    // The editor keeps itself in FormMain while it lives.
    ui::runGuarded(this, [this] {
        std::unique_ptr<TFormMain> editor(new TFormMain(this));
        editor->SetAliasName(CurrentAlias);
        editor->SetHideAccessButtons(false);
        editor->exec();
    });
}

void TFormAdmin::Generate1Click()
{
    std::unique_ptr<TfrmGenerate> dialog(new TfrmGenerate(this));
    if (dialog->exec() != QDialog::Accepted)
        return;
    ui::runGuarded(this, [&] {
        const QList<constsource::AccessConstant> constants =
            constsource::readAccessConstants(*tblSecProg);
        const QString path = dialog->outputPath();
        switch (dialog->destination()) {
        case TfrmGenerate::Clipboard:
            QApplication::clipboard()->setText(constsource::pascalText(constants));
            return;
        case TfrmGenerate::CppClipboard:
            QApplication::clipboard()->setText(constsource::cppDeclarations(constants));
            return;
        case TfrmGenerate::PascalIncludeFile:
            saveGeneratedFile(path, constsource::pascalText(constants));
            return;
        case TfrmGenerate::CppHeaderFile:
            saveGeneratedFile(path, constsource::cppHeader(constants, path));
            return;
        }
    });
}

void TFormAdmin::saveGeneratedFile(const QString &path, const QString &text)
{
    try {
        constsource::writeTextFile(path, text);
    } catch (const dbe::Error &error) {
        // The box says only that saving failed; the reason (full disk, no such folder) goes to
        // the log.
        qCWarning(admin::lcAdmin).noquote() << error.text();
        ui::showError(this, QStringLiteral("Unable to Save File."));
    }
}

void TFormAdmin::Reporting1Click()
{
    // The window keeps the alias it was created with; only Close lets it go.
    if (!FormSecDB) {
        FormSecDB = new TFormSecDB(this);
        FormSecDB->AliasName = CurrentAlias;
        FormSecDB->AssignAlias();
    }
    FormSecDB->show();
    FormSecDB->raise();
    FormSecDB->activateWindow();
}

void TFormAdmin::Import1Click()
{
    // The dialog reads CurrentAlias itself and reports its own failures.
    TfrmImport dialog(this);
    dialog.exec();
}

void TFormAdmin::ViewLog1Click()
{
    TfrmViewLog viewer(this);
    viewer.tblUsers->setDatabaseName(CurrentAlias);
    viewer.tblAccess->setDatabaseName(CurrentAlias);
    viewer.tblLog->setDatabaseName(CurrentAlias);
    viewer.exec();
}

void TFormAdmin::ViewAudit1Click()
{
    TfrmViewAudit viewer(CurrentAlias, this);
    viewer.exec();
}

void TFormAdmin::ViewUsers1Click()
{
    TfrmViewUsers viewer(this);
    viewer.tblUserAcc->setDatabaseName(CurrentAlias);
    viewer.exec();
}

bool TFormAdmin::ensureHelpWindow()
{
    if (!m_helpWindow)
        m_helpWindow = ui::helpWindowOf(this);
    return m_helpWindow;
}

void TFormAdmin::Contents1Click()
{
    if (ensureHelpWindow())
        m_helpWindow->showContents();
}

void TFormAdmin::SearchforHelp1Click()
{
    if (ensureHelpWindow())
        m_helpWindow->showSearch(QString());
}

void TFormAdmin::About1Click()
{
    auto *about = new TformAbout(this);
    about->lbProgrammers->addItem(QStringLiteral("The VeskSecure developers"));
    about->lblVersion->setText(QStringLiteral("Version 2.0"));
    about->lblProgName->setText(QStringLiteral("VeskSecure Security Administration"));
    about->exec();
    delete about;
}
