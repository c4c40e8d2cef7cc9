// PickFromList: the index it answers for each way the list dialog can be closed.

#include "admin/pickdlg.h"
#include "tests/admin/adminfixture.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

class TestAdminPickList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answersChosenIndexOrMinusOne_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("expected");
        QTest::newRow("cancel") << "cancel" << -1 << -1;
        QTest::newRow("cancel with a selection") << "cancel" << 1 << -1;
        QTest::newRow("OK on the line highlighted at start") << "ok" << -1 << 0;
        QTest::newRow("Enter on the line highlighted at start") << "enter" << -1 << 0;
        QTest::newRow("Down, then Enter") << "down" << -1 << 1;
        QTest::newRow("OK without a selection") << "clear" << -1 << -1;
        QTest::newRow("OK with keyboard focus only") << "focus" << 2 << -1;
        QTest::newRow("OK with the first entry") << "ok" << 0 << 0;
        QTest::newRow("OK with the last entry") << "ok" << 2 << 2;
        QTest::newRow("double click") << "double" << 1 << 1;
    }

    void answersChosenIndexOrMinusOne()
    {
        QFETCH(QString, how);
        QFETCH(int, row);
        QFETCH(int, expected);
        QString label;
        QString caption;
        QSize listSize;
        testsupport::ExpectDialog<TfrmPickList> pickDialog([&](TfrmPickList *pick) {
            label = pick->lblLabel->text();
            caption = pick->windowTitle();
            listSize = pick->lboxList->size();
            if (how == QLatin1String("focus")) {
                pick->lboxList->clearSelection();
                pick->lboxList->setCurrentRow(row, QItemSelectionModel::NoUpdate);
            } else if (row >= 0 && how != QLatin1String("double")) {
                pick->lboxList->setCurrentRow(row);
            }
            if (how == QLatin1String("enter") || how == QLatin1String("down")) {
                pick->lboxList->setFocus();
                if (how == QLatin1String("down"))
                    QTest::keyClick(pick->lboxList, Qt::Key_Down);
                QTest::keyClick(pick->lboxList, Qt::Key_Return);
            } else if (how == QLatin1String("clear")) {
                pick->lboxList->clearSelection();
                pick->bbtnOk->click();
            } else if (how == QLatin1String("cancel")) {
                pick->bbtnCancel->click();
            } else if (how == QLatin1String("double")) {
                const QRect rect = pick->lboxList->visualItemRect(pick->lboxList->item(row));
                QTest::mouseClick(pick->lboxList->viewport(), Qt::LeftButton, {}, rect.center());
                QTest::mouseDClick(pick->lboxList->viewport(), Qt::LeftButton, {}, rect.center());
            } else {
                pick->bbtnOk->click();
            }
        });
        const int answer = PickFromList(
            QStringLiteral("Choose:"), QStringLiteral("Pick one"),
            {QStringLiteral("ALPHA"), QStringLiteral("BETA"), QStringLiteral("GAMMA")});
        VESK_VERIFY_DIALOG(pickDialog);
        QCOMPARE(answer, expected);
        QCOMPARE(label, QStringLiteral("Choose:"));
        QCOMPARE(caption, QStringLiteral("Pick one"));
        QCOMPARE(listSize, QSize(209, 97));
    }

    void emptyListAnswersMinusOne()
    {
        testsupport::ExpectDialog<TfrmPickList> pickDialog(
            [](TfrmPickList *pick) { pick->bbtnOk->click(); });
        QCOMPARE(PickFromList(QStringLiteral("Alias:"), QStringLiteral("Select"), {}), -1);
        VESK_VERIFY_DIALOG(pickDialog);
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminPickList)
#include "tst_adminpicklist.moc"
