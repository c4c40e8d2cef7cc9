// The alias editor a form designer shows for the component's Alias property.

#include "dbe/session.h"
#include "security/vesksec2.h"
#include "setup/aliasproperty.h"
#include "tests/setup/setuptestkit.h"

#include <QTest>

class TestAliasProperty : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setuptest::initTestProgram(); }

    void offersAValueListOnly()
    {
        TVeskSecure component;
        const TAliasProperty property(&component);
        QCOMPARE(property.GetAttributes(), TPropertyAttributes(paValueList));
    }

    void listsTheEnginesAliasesInItsOrder()
    {
        testsupport::SecurityDb first(QStringLiteral("zeta"));
        testsupport::SecurityDb second(QStringLiteral("Alpha"));
        testsupport::SecurityDb third(QStringLiteral("mid"));
        TVeskSecure component;
        const TAliasProperty property(&component);
        QStringList offered;
        property.GetValues([&offered](const QString &name) { offered.append(name); });
        QCOMPARE(offered, dbe::Session::instance().aliasNames());
        QVERIFY(offered.contains(QStringLiteral("zeta")));
        QVERIFY(offered.indexOf(QStringLiteral("Alpha")) < offered.indexOf(QStringLiteral("mid")));
    }

    void takesAnyText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("listed") << "TESTSEC";
        QTest::newRow("not listed") << "NOT-THERE-YET";
        QTest::newRow("empty") << "";
    }

    void takesAnyText()
    {
        QFETCH(QString, text);
        testsupport::SecurityDb db;
        TVeskSecure component;
        component.SetAlias(QStringLiteral("before"));
        TAliasProperty property(&component);
        QCOMPARE(property.GetValue(), QStringLiteral("before"));
        property.SetValue(text);
        QCOMPARE(component.Alias(), text);
        QCOMPARE(property.GetValue(), text);
    }
};

QTEST_MAIN(TestAliasProperty)
#include "tst_aliasproperty.moc"
