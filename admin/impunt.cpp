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
#include <QPushButton>

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
    formstyle::fixClientSize(this, 481, 243);

    DirectoryListBox1 = new DirectoryListBox(this);
    DirectoryListBox1->setAccessibleName(QStringLiteral("Folder of the old files"));
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(8, 8, 193, 145);

    DriveComboBox1 = new RootComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(8, 160, 193, 24);

    lblSecStat = new QLabel(this);
    lblSecStat->setObjectName(QStringLiteral("lblSecStat"));
    lblSecStat->setGeometry(8, 211, 201, 17); // level with the buttons

    Label1 = new QLabel(QStringLiteral("Conversion Status:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(224, 8, 249, 16);

    lbStatus = new QListWidget(this);
    lbStatus->setAccessibleName(QStringLiteral("Import messages"));
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setGeometry(224, 26, 249, 121);
    // Tens of thousands of lines: one height for all of them keeps adding and scrolling cheap.
    lbStatus->setUniformItemSizes(true);

    chbxSysConvert = new QCheckBox(QStringLiteral("Import system information"), this);
    chbxSysConvert->setObjectName(QStringLiteral("chbxSysConvert"));
    chbxSysConvert->setToolTip(QStringLiteral("Import program description and logging settings"));
    chbxSysConvert->setGeometry(224, 156, 249, 20);

    btnImport = new QPushButton(QStringLiteral("Import"), this);
    btnImport->setObjectName(QStringLiteral("btnImport"));
    btnImport->setDefault(true);
    btnImport->setGeometry(306, 206, 80, 27);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(393, 206, 80, 27);

    btnClose = new QPushButton(QStringLiteral("OK"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(btnCancel->geometry());
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
    lblSecStat->setText(oldfiles::allPresent(DirectoryListBox1->directory())
                            ? QStringLiteral("Database files found")
                            : QStringLiteral("Security files unavailable"));
}

void TfrmImport::setPickingEnabled(bool enabled)
{
    DirectoryListBox1->setEnabled(enabled);
    DriveComboBox1->setEnabled(enabled);
    chbxSysConvert->setEnabled(enabled);
    btnImport->setEnabled(enabled);
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
    if (m_importing)
        return;
    m_importing = true;
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
