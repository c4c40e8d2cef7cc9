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
        {
            dbe::Table audit;
            audit.setDatabaseName(db.alias());
            audit.setTableName(security::tables::Audit);
            audit.open();
            QVERIFY(audit.findKey({2}));
            audit.edit();
            audit.setValue(security::fields::Object, QStringLiteral("Delete"));
            audit.post();
        }
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        ui::MessageRecorder messages;
        QStringList objects;
        int current = -1;
        testsupport::ExpectDialog<TfrmViewAudit> viewer([&](TfrmViewAudit *dialog) {
            const QAbstractItemModel *model = dialog->grdAudit->model();
            for (int row = 0; row < model->rowCount(); ++row)
                objects.append(model->index(row, 6).data().toString());
            dialog->btnVerify->click();
            current = dialog->grdAudit->currentIndex().row();
            dialog->OKBtn->click();
        });
        window.ViewAudit1Click();
        VESK_VERIFY_DIALOG(viewer);
        QCOMPARE(objects, (QStringList{"Close", "Delete", "Print"}));
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Entry 2 breaks the chain: its MAC does not match its "
                                            "content and the entry before it.")});
        QCOMPARE(current, 1);
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminAudit)
#include "tst_adminaudit.moc"
