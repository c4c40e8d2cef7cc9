#include "admin/impunt.h"

#include "admin/admnunt.h"
#include "admin/filebrowsers.h"
#include "admin/formstyle.h"
#include "ui/formkit.h"
#include "import/oldfiles.h"
#include "import/oldimport.h"
#include "dbe/error.h"
#include "ui/helpkey.h"
#include "ui/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

using formkit::place;

namespace {

// How often a running import lets the window repaint: fast enough to look continuous.
constexpr qint64 RepaintInterval = 40; // ms

} // namespace

TfrmImport::TfrmImport(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import Security Data"));
    ui::installHelpKey(this, QStringLiteral("import.html"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    formstyle::fixClientSize(this, 481, 263);

    DirectoryListBox1 =
        place<DirectoryListBox>(this, QStringLiteral("DirectoryListBox1"), {8, 8, 193, 145});
    DirectoryListBox1->setAccessibleName(QStringLiteral("Folder of the old files"));
    // Picking the folder of the old files is the whole job of the list: one click does it.
    DirectoryListBox1->setOpensOnClick(true);

    DriveComboBox1 = place<RootComboBox>(this, QStringLiteral("DriveComboBox1"), {8, 160, 193, 24});

    lblSecStat = place<QLabel>(this, QStringLiteral("lblSecStat"),
                               {8, 231, 201, 17}); // level with the buttons

    Label1 = place<QLabel>(this, QStringLiteral("Label1"), {224, 8, 249, 16},
                           QStringLiteral("Conversion Status:"));

    lbStatus = place<QListWidget>(this, QStringLiteral("lbStatus"), {224, 26, 249, 121});
    lbStatus->setAccessibleName(QStringLiteral("Import messages"));
    // Tens of thousands of lines: one height for all of them keeps adding and scrolling cheap.
    lbStatus->setUniformItemSizes(true);

    chbxSysConvert = place<QCheckBox>(this, QStringLiteral("chbxSysConvert"), {224, 152, 249, 20},
                                      QStringLiteral("Import system information"));
    chbxSysConvert->setToolTip(QStringLiteral("Import program description and logging settings"));

    pbImport = place<QProgressBar>(this, QStringLiteral("pbImport"), {224, 196, 249, 18});
    pbImport->setRange(0, 1);
    pbImport->setValue(0);
    pbImport->setTextVisible(false);
    lblProgress = formkit::placeLabel(QStringLiteral("lblProgress"), QString(), this, 224, 176,
                                      249, pbImport);
    pbImport->setAccessibleName(QStringLiteral("Import progress"));

    btnImport = place<QPushButton>(this, QStringLiteral("btnImport"), {306, 226, 80, 27},
                                   QStringLiteral("Import"));
    btnImport->setDefault(true);

    btnCancel = place<QPushButton>(this, QStringLiteral("btnCancel"), {393, 226, 80, 27},
                                   QStringLiteral("Cancel"));

    btnClose = place<QPushButton>(this, QStringLiteral("btnClose"), btnCancel->geometry(),
                                  QStringLiteral("OK"));
    btnClose->hide();

    connect(DriveComboBox1, &RootComboBox::rootChosen, DirectoryListBox1,
            &DirectoryListBox::setDirectory);
    connect(DirectoryListBox1, &DirectoryListBox::directoryChanged, this,
            [this](const QString &dir) {
                DriveComboBox1->showRootOf(dir);
                DirectoryListBox1Change();
            });
    connect(btnImport, &QPushButton::clicked, this, &TfrmImport::btnImportClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(DirectoryListBox1, DriveComboBox1);
    setTabOrder(DriveComboBox1, lbStatus);
    setTabOrder(lbStatus, chbxSysConvert);
    setTabOrder(chbxSysConvert, btnImport);
    setTabOrder(btnImport, btnCancel);
    setTabOrder(btnCancel, btnClose);

    DirectoryListBox1->setDirectory(QDir::currentPath());
}

void TfrmImport::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    DirectoryListBox1Change();
}

void TfrmImport::DirectoryListBox1Change()
{
    const bool found = oldfiles::allPresent(DirectoryListBox1->directory());
    lblSecStat->setText(found ? QStringLiteral("Database files found")
                              : QStringLiteral("Security files unavailable"));
    // Import is offered only where there is something to import.
    btnImport->setEnabled(found && !m_importing);
}

bool TfrmImport::confirmAddingToExisting()
{
    oldimport::TargetRows rows;
    try {
        rows = oldimport::rowsInTarget(CurrentAlias);
    } catch (const dbe::Error &) {
        // The import opens the same tables and reports why they cannot be read.
        return true;
    }
    if (rows.users == 0 && rows.constants == 0)
        return true;
    return ui::askYesNo(
        this, QStringLiteral("The database %1 already holds %2 users and %3 access constants. "
                             "The import adds the old ones beside them: users and constants "
                             "imported before will be there twice.\n\nImport all the same?")
                  .arg(CurrentAlias)
                  .arg(rows.users)
                  .arg(rows.constants));
}

void TfrmImport::showRows(const QString &file, int done, int total)
{
    m_rowsDone[file] = done;
    if (pbImport->maximum() != std::max(total, 1))
        pbImport->setRange(0, std::max(total, 1));
    pbImport->setValue(done);
    const QString what = file == oldfiles::AccessFile  ? QStringLiteral("Access constants")
                         : file == oldfiles::UsersFile ? QStringLiteral("Users")
                         : file == oldfiles::RightsFile
                             ? QStringLiteral("Rights")
                             : QStringLiteral("System information");
    lblProgress->setText(QStringLiteral("%1: %2 of %3").arg(what).arg(done).arg(total));
}

void TfrmImport::setPickingEnabled(bool enabled)
{
    DirectoryListBox1->setEnabled(enabled);
    DriveComboBox1->setEnabled(enabled);
    chbxSysConvert->setEnabled(enabled);
    btnImport->setEnabled(enabled && oldfiles::allPresent(DirectoryListBox1->directory()));
}

void TfrmImport::keepResponsive()
{
    if (m_sinceRepaint.elapsed() < RepaintInterval)
        return;
    lbStatus->scrollToBottom();
    QApplication::processEvents();
    m_sinceRepaint.start();
}

void TfrmImport::btnImportClick()
{
    // The window takes clicks while it imports; Import is not one of them.
    if (m_importing || !confirmAddingToExisting())
        return;
    m_importing = true;
    m_rowsDone.clear();
    lblProgress->clear();
    pbImport->setValue(0);
    m_cancelRequested = false;
    setPickingEnabled(false);
    lbStatus->clear();
    // Show the cleared list and the locked controls before the database's tables are opened.
    QApplication::processEvents();
    m_sinceRepaint.start();

    const oldimport::Request request{DirectoryListBox1->directory(), CurrentAlias,
                                     chbxSysConvert->isChecked()};
    const oldimport::Progress progress{[this](const QString &line) { lbStatus->addItem(line); },
                                       [this] {
                                           keepResponsive();
                                           return !m_cancelRequested;
                                       },
                                       [this](const QString &file, int done, int total) {
                                           showRows(file, done, total);
                                       }};
    std::optional<oldimport::Result> result;
    QString failure;
    try {
        result = oldimport::run(request, progress);
    } catch (const dbe::Error &error) {
        failure = error.text();
    } catch (const std::exception &error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    m_importing = false;
    setPickingEnabled(true);

    if (!result) {
        lbStatus->addItem(QString());
        lbStatus->addItem(QStringLiteral("** Import failed: nothing was imported **"));
        lbStatus->scrollToBottom();
        ui::showError(this, failure);
        return;
    }
    if (*result == oldimport::Result::Cancelled) {
        QDialog::done(QDialog::Rejected);
        return;
    }
    lbStatus->scrollToBottom();
    lblProgress->setText(QStringLiteral("Imported: %1 constants, %2 users, %3 rights")
                             .arg(m_rowsDone.value(oldfiles::AccessFile))
                             .arg(m_rowsDone.value(oldfiles::UsersFile))
                             .arg(m_rowsDone.value(oldfiles::RightsFile)));
    pbImport->setValue(pbImport->maximum());
    ui::showInformation(this, QStringLiteral("Conversion was Successful!"));
    btnImport->hide();
    btnCancel->hide();
    btnClose->show();
    btnClose->setDefault(true);
    btnClose->setFocus();
}

void TfrmImport::done(int result)
{
    if (m_importing) {
        m_cancelRequested = true;
        return;
    }
    QDialog::done(result);
}
