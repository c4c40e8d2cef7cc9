// The View Audit window of the desktop: the trail newest first, and Verify naming the entry
// that breaks the chain.

#include "admin/admnunt.h"
#include "admin/vwauditunt.h"
#include "dbe/table.h"
#include "rules/addedtables.h"
#include "rules/securityrules.h"
#include "tests/admin/adminfixture.h"
#include "ui/messages.h"

#include <QAbstractItemModel>
#include <QPushButton>
#include <QTableView>

class TestAdminAudit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsNewestFirstAndVerifies()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        security::SecurityRules rules(db.alias());
        for (const char *name : {"Print", "Edit", "Close"})
            rules.addConstant(QString::fromLatin1(name));
        // A forged entry: without the master password its MAC cannot be right.
        dbe::appendRecord(db.alias(), security::tables::Audit,
                          {{security::fields::AuditNo, 4}, {security::fields::Object, "Forged"}});
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        ui::MessageRecorder messages;
        QStringList objects;
        testsupport::ExpectDialog<TfrmViewAudit> viewer([&](TfrmViewAudit *dialog) {
            const QAbstractItemModel *model = dialog->grdAudit->model();
            for (int row = 0; row < model->rowCount(); ++row)
                objects.append(model->index(row, 6).data().toString());
            dialog->btnVerify->click();
            dialog->OKBtn->click();
        });
        window.ViewAudit1Click();
        VESK_VERIFY_DIALOG(viewer);
        QCOMPARE(objects, (QStringList{"Forged", "Close", "Edit", "Print"}));
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Entry 4 breaks the chain: its MAC does not match its "
                                            "content and the entry before it.")});
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminAudit)
#include "tst_adminaudit.moc"
