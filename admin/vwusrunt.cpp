#include "admin/vwusrunt.h"

#include "admin/formstyle.h"
#include "ui/formkit.h"
#include "admin/usertbl.h"
#include "dbe/error.h"
#include "dbe/table.h"
#include "rules/schema.h"
#include "ui/datasetmodel.h"
#include "ui/engineerror.h"
#include "ui/helpkey.h"
#include "ui/messages.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTimer>

using formkit::place;

TfrmViewUsers::TfrmViewUsers(QWidget *parent) : QDialog(parent)
{
    ui::installHelpKey(this, QStringLiteral("viewusers.html"));
    setObjectName(QStringLiteral("frmViewUsers"));
    setWindowTitle(QStringLiteral("Current Users"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    formstyle::fixClientSize(this, 262, 202);

    place<QLabel>(this, QStringLiteral("lblUserName"), {8, 8, 153, 16},
                  QStringLiteral("Network User Name"));

    DBLookupList1 = place<QListView>(this, QStringLiteral("DBLookupList1"), {8, 26, 153, 169});
    DBLookupList1->setAccessibleName(QStringLiteral("Network users"));
    DBLookupList1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    OKBtn =
        place<QPushButton>(this, QStringLiteral("OKBtn"), {172, 26, 82, 27}, QStringLiteral("OK"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    tblUserAcc = new dbe::Table(this);
    tblUserAcc->setObjectName(QStringLiteral("tblUserAcc"));
    tblUserAcc->setTableName(security::tables::UserAcc);

    dsUsers = new ui::DataSetModel(this);
    dsUsers->setObjectName(QStringLiteral("dsUsers"));
    dsUsers->setColumnOrder({QStringLiteral("USERNAME")});
    DBLookupList1->setModel(dsUsers);
}

TfrmViewUsers::~TfrmViewUsers()
{
    FormDestroy();
}

void TfrmViewUsers::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    OKBtn->setFocus();
    if (m_shown)
        return;
    m_shown = true;
    // Nothing to show without the lock list: the engine's text is reported, and the window
    // closes.
    if (!ui::runGuarded(this, [this] { FormShow(); }))
        QTimer::singleShot(0, this, &QDialog::reject);
}

void TfrmViewUsers::FormShow()
{
    tblUserAcc->open();
    m_locks = new TLocksTable(this);
    m_locks->SourceCursor = tblUserAcc;
    m_locks->open();
    dsUsers->setDataSet(m_locks);
}

void TfrmViewUsers::FormDestroy()
{
    dsUsers->setDataSet(nullptr);
    delete m_locks;
    m_locks = nullptr;
    tblUserAcc->close();
}
