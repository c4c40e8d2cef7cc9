#include "admin/dirslunt.h"

#include "admin/databasenames.h"
#include "admin/filebrowsers.h"
#include "admin/formstyle.h"
#include "ui/formkit.h"
#include "dbe/aliasinfo.h"
#include "rules/createdatabase.h"
#include "ui/helpkey.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

TFormOpenSecurity::TFormOpenSecurity(QWidget *parent) : QDialog(parent)
{
    ui::installHelpKey(this, QStringLiteral("newdatabase.html"));
    setObjectName(QStringLiteral("FormOpenSecurity"));
    setWindowTitle(QStringLiteral("Security Information"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    // Taller than the old form by the server's part below it.
    formstyle::fixClientSize(this, 439, 372);

    buildDirectoryGroup();
    buildAliasGroup();
    buildPasswordGroup();
    buildServerGroup();

    const formkit::OkCancel buttons =
        formkit::placeOkCancel(this, QStringLiteral("bbnOk"), {248, 337, 85, 27},
                               QStringLiteral("bbnCancel"), {342, 337, 85, 27});
    bbnOk = buttons.ok;
    bbnCancel = buttons.cancel;

    setTabOrder(dlbDirectory, dcxDrives);
    setTabOrder(dcxDrives, edDir);
    setTabOrder(edDir, btnCreateDir);
    setTabOrder(btnCreateDir, cmboxAlias);
    setTabOrder(cmboxAlias, edPassword);
    setTabOrder(edPassword, edConfirm);
    setTabOrder(edConfirm, grpServer);
    setTabOrder(grpServer, edConnection);
    setTabOrder(edConnection, edSchema);
    setTabOrder(edSchema, bbnOk);
    setTabOrder(bbnOk, bbnCancel);
}

void TFormOpenSecurity::buildDirectoryGroup()
{
    grpDirectory = formkit::place<QGroupBox>(this, QStringLiteral("grpDirectory"), {8, 6, 221, 253},
                                             QStringLiteral("Security Directory:"));

    dlbDirectory = formkit::place<DirectoryListBox>(grpDirectory, QStringLiteral("dlbDirectory"),
                                                    {8, 20, 205, 132});
    dlbDirectory->setAccessibleName(QStringLiteral("Security directory"));

    dcxDrives =
        formkit::place<RootComboBox>(grpDirectory, QStringLiteral("dcxDrives"), {8, 156, 205, 24});
    dcxDrives->setAccessibleName(QStringLiteral("Drive"));

    edDir = formkit::place<QLineEdit>(grpDirectory, QStringLiteral("edDir"), {8, 206, 120, 24});
    lblCreate = formkit::placeLabel(QStringLiteral("lblCreate"),
                                    QStringLiteral("Create New Directory (relative):"),
                                    grpDirectory, 8, 186, 205, edDir);
    // Any name the file system takes; the length is the file system's limit for one name.
    edDir->setMaxLength(255);
    edDir->installEventFilter(this);

    btnCreateDir = formkit::place<QPushButton>(grpDirectory, QStringLiteral("btnCreateDir"),
                                               {136, 205, 77, 26}, QStringLiteral("&Create"));

    connect(dcxDrives, &RootComboBox::rootChosen, dlbDirectory, &DirectoryListBox::setDirectory);
    connect(dlbDirectory, &DirectoryListBox::directoryChanged, dcxDrives,
            &RootComboBox::showRootOf);
    connect(btnCreateDir, &QPushButton::clicked, this, &TFormOpenSecurity::btnCreateDirClick);

    // Not the program's working directory: an OK at once must not put the tables into whatever
    // folder the program happened to be started in.
    dlbDirectory->setDirectory(startDirectory());
    dcxDrives->showRootOf(dlbDirectory->directory());
}

QString TFormOpenSecurity::startDirectory()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return QDir(documents).absolutePath();
    return QDir::homePath();
}

bool TFormOpenSecurity::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edDir && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && !edDir->text().isEmpty()) {
            btnCreateDirClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormOpenSecurity::buildAliasGroup()
{
    grpAlias = formkit::place<QGroupBox>(this, QStringLiteral("grpAlias"), {237, 6, 194, 100},
                                         QStringLiteral("Alias:"));

    lblAliasNote =
        formkit::place<QLabel>(grpAlias, QStringLiteral("lblAliasNote"), {8, 18, 178, 42},
                               QStringLiteral("Select Alias or enter a new Alias to be created."));
    lblAliasNote->setWordWrap(true);

    cmboxAlias =
        formkit::place<QComboBox>(grpAlias, QStringLiteral("cmboxAlias"), {8, 66, 178, 24});
    cmboxAlias->setAccessibleName(QStringLiteral("Alias"));
    cmboxAlias->setEditable(true);
    // A typed name is a new alias; it is never added to the list nor completed to an old one.
    cmboxAlias->setInsertPolicy(QComboBox::NoInsert);
    cmboxAlias->setCompleter(nullptr);

    const auto chosen = [this](int index) {
        m_aliasIndex = index;
        cmboxAliasChange();
    };
    connect(cmboxAlias, &QComboBox::activated, this, chosen);
    connect(cmboxAlias, &QComboBox::currentIndexChanged, this, chosen);
    connect(cmboxAlias->lineEdit(), &QLineEdit::textEdited, this, [this] {
        m_aliasIndex = -1;
        cmboxAliasChange();
    });
}

void TFormOpenSecurity::buildPasswordGroup()
{
    grpPassword =
        formkit::place<QGroupBox>(this, QStringLiteral("grpPassword"), {237, 112, 194, 147},
                                  QStringLiteral("Master Password:"));

    edPassword =
        formkit::place<QLineEdit>(grpPassword, QStringLiteral("edPassword"), {8, 20, 178, 24});
    edPassword->setAccessibleName(QStringLiteral("Master password"));
    edPassword->setEchoMode(QLineEdit::Password);

    edConfirm =
        formkit::place<QLineEdit>(grpPassword, QStringLiteral("edConfirm"), {8, 66, 178, 24});
    edConfirm->setEchoMode(QLineEdit::Password);
    lblConfirm = formkit::placeLabel(QStringLiteral("lblConfirm"),
                                     QStringLiteral("Con&firm master password:"), grpPassword, 8,
                                     48, 178, edConfirm);

    lblPassNote = formkit::place<QLabel>(
        grpPassword, QStringLiteral("lblPassNote"), {8, 96, 178, 46},
        QStringLiteral("Required field (case sensitive) which must be entered in component."));
    lblPassNote->setWordWrap(true);
    lblPassNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TFormOpenSecurity::buildServerGroup()
{
    grpServer = formkit::place<QGroupBox>(this, QStringLiteral("grpServer"), {8, 265, 423, 64},
                                          QStringLiteral("On a PostgreSQL server instead:"));
    grpServer->setAccessibleName(QStringLiteral("On a PostgreSQL server instead"));
    grpServer->setCheckable(true);
    grpServer->setChecked(false);

    edConnection =
        formkit::place<QLineEdit>(grpServer, QStringLiteral("edConnection"), {88, 22, 186, 24});
    edConnection->setPlaceholderText(QStringLiteral("host=db.example dbname=sec user=admin"));
    formkit::placeLabel(QStringLiteral("lblConnection"), QStringLiteral("Co&nnection:"),
                        grpServer, 8, 26, 78, edConnection);
    edSchema = formkit::place<QLineEdit>(grpServer, QStringLiteral("edSchema"), {346, 22, 69, 24});
    formkit::placeLabel(QStringLiteral("lblSchema"), QStringLiteral("Sc&hema:"), grpServer, 282,
                        26, 62, edSchema);
    connect(grpServer, &QGroupBox::toggled, this, &TFormOpenSecurity::cmboxAliasChange);
}

bool TFormOpenSecurity::typedNameOnServer() const
{
    return m_aliasIndex < 0 && grpServer->isChecked();
}

security::DatabasePlace TFormOpenSecurity::place() const
{
    if (grpServer->isChecked())
        return {QString(), edConnection->text().trimmed(), edSchema->text().trimmed()};
    return {dlbDirectory->directory(), QString(), QString()};
}

void TFormOpenSecurity::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TFormOpenSecurity::FormShow()
{
    const QSignalBlocker quiet(cmboxAlias);
    cmboxAlias->clear();
    cmboxAlias->addItems(KnownDatabaseNames());
    cmboxAlias->setCurrentIndex(-1);
    cmboxAlias->setEditText(QString());
    m_aliasIndex = -1;
    cmboxAliasChange();
}

void TFormOpenSecurity::cmboxAliasChange()
{
    const bool typedName = m_aliasIndex < 0;
    // An alias chosen from the list says where its tables are, on a server or in a directory.
    const bool inDirectory = typedName && !grpServer->isChecked();
    dlbDirectory->setEnabled(inDirectory);
    dcxDrives->setEnabled(inDirectory);
    edDir->setEnabled(inDirectory);
    btnCreateDir->setEnabled(inDirectory);
    grpServer->setEnabled(typedName);
}

void TFormOpenSecurity::btnCreateDirClick()
{
    if (edDir->text().isEmpty())
        return;
    QString path = dlbDirectory->directory();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += edDir->text();
    // mkdir refuses an existing name, a name the file system does not allow and a parent
    // that cannot be written, which is each a reason to keep things as they are.
    if (!QDir().mkdir(path)) {
        ui::showError(this, QStringLiteral("Error occured creating directory"));
        return;
    }
    dlbDirectory->setDirectory(path);
    edDir->clear();
}

void TFormOpenSecurity::FormCloseQuery(bool &canClose)
{
    canClose = true;
    // A typed name becomes a section of the engine's configuration file; one the file cannot
    // hold (a line break, a bracket, '=') is refused here, with the reason, while it can be
    // mended.
    const QString aliasProblem =
        m_aliasIndex < 0 ? dbe::aliasNameProblem(cmboxAlias->currentText()) : QString();
    if (cmboxAlias->currentText().isEmpty()) {
        ui::showError(this, QStringLiteral("An Alias must be either selected or created."));
        cmboxAlias->setFocus();
        canClose = false;
    } else if (!aliasProblem.isEmpty()) {
        ui::showError(this, aliasProblem);
        cmboxAlias->setFocus();
        canClose = false;
    } else if (edPassword->text().isEmpty()) {
        ui::showError(this, QStringLiteral("A Password must be selected."));
        edPassword->setFocus();
        canClose = false;
    } else if (edConfirm->text() != edPassword->text()) {
        ui::showError(this, QStringLiteral("The two master passwords differ. Type the same "
                                           "password in both fields."));
        edConfirm->clear();
        edConfirm->setFocus();
        canClose = false;
    } else if (typedNameOnServer() && (edConnection->text().trimmed().isEmpty() ||
                                       edSchema->text().trimmed().isEmpty())) {
        ui::showError(this, QStringLiteral("A database on a server needs its connection and "
                                           "its schema."));
        (edConnection->text().trimmed().isEmpty() ? edConnection : edSchema)->setFocus();
        canClose = false;
    }
}

void TFormOpenSecurity::done(int result)
{
    // Cancel, Escape and the close box always close; only OK is checked.
    if (result == QDialog::Accepted) {
        bool canClose = true;
        FormCloseQuery(canClose);
        if (!canClose)
            return;
    }
    QDialog::done(result);
}
