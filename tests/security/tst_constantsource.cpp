// The lines that declare access constants for a host, checked on the text alone.

#include "rules/constantsource.h"

#include <QTest>

using constsource::AccessConstant;

class ConstantSourceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void declaresEachConstant_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("pascal");
        QTest::addColumn<QString>("cpp");
        QTest::newRow("plain") << "Edit" << 7 << "  dsc_Edit               =7;\r\n" << "dsc_Edit";
        QTest::newRow("blanks") << "View Orders" << 12 << "  dsc_View_Orders        =12;\r\n"
                                << "dsc_View_Orders";
        QTest::newRow("punctuation kept in Pascal only")
            << "A-B.C" << 3 << "  dsc_A-B.C              =3;\r\n" << "dsc_A_B_C";
        QTest::newRow("longer than the padding")
            << "Twenty Characters Ok" << 1 << "  dsc_Twenty_Characters_Ok=1;\r\n"
            << "dsc_Twenty_Characters_Ok";
    }
    void declaresEachConstant()
    {
        QFETCH(QString, name);
        QFETCH(int, id);
        QFETCH(QString, pascal);
        QFETCH(QString, cpp);
        QCOMPARE(constsource::pascalLine({id, name}), pascal);
        const AccessConstant other{id + 1, QStringLiteral("Other")};
        QCOMPARE(constsource::pascalText({{id, name}, other}),
                 pascal + constsource::pascalLine(other));
        QCOMPARE(constsource::cppIdentifier(name), cpp);
        const QString header = constsource::cppHeader({{id, name}}, QStringLiteral("ids.h"));
        QVERIFY(header.contains(QStringLiteral("constexpr int ") + cpp));
        QVERIFY(header.contains(QStringLiteral("=%1;").arg(id)));
    }
};

QTEST_GUILESS_MAIN(ConstantSourceTest)
#include "tst_constantsource.moc"
