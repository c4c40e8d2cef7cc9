#include "admin/vwauditunt.h"

#include "admin/formstyle.h"
#include "dbe/types.h"
#include "rules/audittrail.h"
#include "ui/engineerror.h"
#include "ui/formkit.h"
#include "ui/messages.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>

using formkit::place;

namespace {

struct Column {
    const char *title;
    int width; // pixels of the dialog font; the change takes what the others leave
};
const Column Columns[] = {{"No", 40},     {"Time", 0},    {"OS User", 64}, {"Host", 64},
                          {"Acting", 96}, {"Action", 96}, {"Object", 104}, {"Change", 0}};

} // namespace

TfrmViewAudit::TfrmViewAudit(const QString &alias, QWidget *parent)
    : QDialog(parent), m_alias(alias)
{
    setObjectName(QStringLiteral("frmViewAudit"));
    setWindowTitle(QStringLiteral("View Audit"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    formstyle::fixClientSize(this, 802, 337);

    // The grid of View Log: rows selected whole, read only, lines between cells.
    grdAudit = place<QTableView>(this, QStringLiteral("grdAudit"), {8, 8, 785, 281});
    grdAudit->setAccessibleName(QStringLiteral("Audit trail"));
    grdAudit->horizontalHeader()->setStretchLastSection(true);
    grdAudit->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdAudit->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdAudit->setSelectionMode(QAbstractItemView::SingleSelection);
    grdAudit->setShowGrid(true);
    grdAudit->setWordWrap(false);
    grdAudit->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grdAudit->horizontalHeader()->setHighlightSections(false);
    grdAudit->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdAudit->verticalHeader()->setDefaultSectionSize(grdAudit->fontMetrics().height() + 4);
    grdAudit->verticalHeader()->setFixedWidth(14);
    m_entries = new QStandardItemModel(this);
    grdAudit->setModel(m_entries);

    btnVerify = place<QPushButton>(this, QStringLiteral("btnVerify"), {8, 300, 97, 27},
                                   QStringLiteral("&Verify"));
    btnVerify->setAccessibleName(QStringLiteral("Verify the audit trail"));
    connect(btnVerify, &QPushButton::clicked, this, &TfrmViewAudit::btnVerifyClick);

    OKBtn =
        place<QPushButton>(this, QStringLiteral("OKBtn"), {704, 300, 89, 27}, QStringLiteral("OK"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    setTabOrder(grdAudit, btnVerify);
    setTabOrder(btnVerify, OKBtn);
}

void TfrmViewAudit::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    OKBtn->setFocus();
    if (!ui::runGuarded(this, [this] { showEntries(); }))
        QTimer::singleShot(0, this, &QDialog::reject);
}

void TfrmViewAudit::showEntries()
{
    const QList<security::AuditTrail::Entry> entries = security::AuditTrail::entries(m_alias);
    m_entries->clear();
    QStringList titles;
    for (const Column &column : Columns)
        titles.append(QString::fromLatin1(column.title));
    m_entries->setHorizontalHeaderLabels(titles);
    // Newest first: what one opens the trail for.
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        QList<QStandardItem *> row;
        for (const QString &text :
             {QString::number(it->number), dbe::timestampToText(it->time).left(19), it->osUser,
              it->host, it->actor, it->action, it->object, it->change})
            row.append(new QStandardItem(text));
        row.first()->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_entries->appendRow(row);
    }
    // The time as wide as its text in the grid's font, the other columns as designed.
    const int timeWidth =
        grdAudit->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 12;
    for (int column = 0; column < int(std::size(Columns)) - 1; ++column)
        grdAudit->setColumnWidth(column,
                                 Columns[column].width > 0 ? Columns[column].width : timeWidth);
    if (m_entries->rowCount() > 0)
        grdAudit->setCurrentIndex(m_entries->index(0, 0));
}

void TfrmViewAudit::btnVerifyClick()
{
    ui::runGuarded(this, [this] {
        const security::AuditTrail::Verification result = security::AuditTrail::verify(m_alias);
        if (!result.intact()) {
            const QList<QStandardItem *> found =
                m_entries->findItems(QString::number(result.firstBad), Qt::MatchExactly, 0);
            if (!found.isEmpty())
                grdAudit->setCurrentIndex(found.first()->index());
            ui::showError(this, QStringLiteral("Entry %1 breaks the chain: %2.")
                                    .arg(result.firstBad)
                                    .arg(result.problem));
            return;
        }
        ui::showInformation(
            this, QStringLiteral("The audit trail is intact: %1 entries.\n"
                                 "Last MAC: %2\n\n"
                                 "Record the count and the MAC elsewhere: "
                                 "only against them does the removal of the "
                                 "newest entries show.")
                      .arg(result.count)
                      .arg(result.lastMac.isEmpty() ? QStringLiteral("(none)") : result.lastMac));
    });
}
