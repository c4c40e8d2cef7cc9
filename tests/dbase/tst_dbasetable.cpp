// Reading dBASE tables written by shapelib's writer: the walk past deleted records, the strict
// readers, the file names, and the files that are no dBASE table or are cut short.

#include "dbe/dbase/dbasetable.h"
#include "dbe/error.h"
#include "tests/dbase/dbfwriter.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using dbe::DBaseTable;
using dbffixture::Field;
using dbffixture::Record;

Q_DECLARE_METATYPE(dbffixture::Field)

namespace {

// The table's one field ID of a record, written by shapelib from `value`.
void writeOneField(const QString &path, const Field &field, const QVariant &value)
{
    dbffixture::writeTable(path, {field}, {Record{{value}}});
}

std::unique_ptr<DBaseTable> openTable(const QString &dir, const QString &name)
{
    auto table = std::make_unique<DBaseTable>();
    table->setDatabaseName(dir);
    table->setTableName(name);
    table->open();
    return table;
}

// The engine's error text of an action, or an empty text when it succeeded.
QString failureOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const dbe::Error &error) {
        return error.text();
    }
    return {};
}

} // namespace

class DBaseTableTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void walkSkipsDeletedRecords()
    {
        QTemporaryDir dir;
        dbffixture::writeTable(
            dir.filePath(QStringLiteral("T.DBF")), {{"ID", 'N', 6}},
            {Record{{1}}, Record{{2}, true}, Record{{3}}, Record{{4}, true}, Record{{5}}});
        auto table = openTable(dir.path(), QStringLiteral("T.DBF"));
        QCOMPARE(table->recordCount(), 3);
        QList<int> ids;
        QList<int> numbers;
        for (table->first(); !table->eof(); table->next()) {
            ids.append(table->integerValue(QStringLiteral("ID")));
            numbers.append(table->recordNumber());
        }
        QCOMPARE(ids, QList<int>({1, 3, 5}));
        QCOMPARE(numbers, QList<int>({1, 3, 5}));
        table->last();
        table->prior();
        QCOMPARE(table->integerValue(QStringLiteral("ID")), 3);
    }

    void tableOfOnlyDeletedRecordsIsEmpty()
    {
        QTemporaryDir dir;
        dbffixture::writeTable(dir.filePath(QStringLiteral("T.DBF")), {{"ID", 'N', 6}},
                               {Record{{1}, true}});
        auto table = openTable(dir.path(), QStringLiteral("T"));
        QVERIFY(table->isEmpty());
        QVERIFY(table->eof());
        QCOMPARE(table->recordCount(), 0);
    }

    void opensByAnyFormOfTheName_data()
    {
        QTest::addColumn<QString>("fileOnDisk");
        QTest::addColumn<QString>("tableName");
        QTest::newRow("same name") << "WOBSEC1.DBF"
                                   << "WOBSEC1.DBF";
        QTest::newRow("without extension") << "WOBSEC1.DBF"
                                           << "WOBSEC1";
        QTest::newRow("lower-case file") << "wobsec1.dbf"
                                         << "WOBSEC1.DBF";
        QTest::newRow("mixed case both") << "WobSec1.Dbf"
                                         << "wobsec1";
    }

    void opensByAnyFormOfTheName()
    {
        QFETCH(QString, fileOnDisk);
        QFETCH(QString, tableName);
        QTemporaryDir dir;
        writeOneField(dir.filePath(fileOnDisk), {"ID", 'N', 6}, 7);
        QVERIFY(DBaseTable::exists(dir.path(), tableName));
        QCOMPARE(DBaseTable::filePath(dir.path(), tableName), dir.filePath(fileOnDisk));
        QCOMPARE(openTable(dir.path(), tableName)->integerValue(QStringLiteral("id")), 7);
    }

    void rawTextKeepsAllButThePadding_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("padding dropped") << QByteArray("abc") << QByteArray("abc");
        QTest::newRow("leading blanks kept") << QByteArray("  abc") << QByteArray("  abc");
        QTest::newRow("blank field") << QByteArray() << QByteArray();
        QTest::newRow("zero bytes kept") << QByteArray("a\0b\0", 4) << QByteArray("a\0b\0", 4);
        QTest::newRow("control bytes kept") << QByteArray("x\t\x1c") << QByteArray("x\t\x1c");
    }

    void rawTextKeepsAllButThePadding()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, read);
        QTemporaryDir dir;
        writeOneField(dir.filePath(QStringLiteral("T.DBF")), {"NAME", 'C', 12}, stored);
        QCOMPARE(openTable(dir.path(), QStringLiteral("T"))->rawText(QStringLiteral("NAME")), read);
    }

    void integerValueRefusesWhatIsNoWholeNumber_data()
    {
        QTest::addColumn<Field>("field");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("failure"); // empty when the number is read
        const Field whole{"UID", 'N', 12};
        const Field twoDecimals{"UID", 'N', 12, 2};
        const QString prefix = QStringLiteral("T.DBF, record 1, field UID: ");
        QTest::newRow("number") << whole << QVariant(42) << 42 << QString();
        QTest::newRow("largest") << whole << QVariant(QByteArray("2147483647")) << 2147483647
                                 << QString();
        QTest::newRow("zero fraction")
            << twoDecimals << QVariant(QByteArray("12.00")) << 12 << QString();
        QTest::newRow("blank") << whole << QVariant() << 0
                               << prefix + "it is blank where a number is needed.";
        QTest::newRow("letters") << whole << QVariant(QByteArray("12a")) << 0
                                 << prefix + "\"12a\" is not a whole number.";
        QTest::newRow("fraction") << twoDecimals << QVariant(QByteArray("12.50")) << 0
                                  << prefix + "\"12.50\" is not a whole number.";
        QTest::newRow("beyond 32 bits") << whole << QVariant(QByteArray("2147483648")) << 0
                                        << prefix + "\"2147483648\" is not a whole number.";
        QTest::newRow("null marks") << whole << QVariant(QByteArray("****")) << 0
                                    << prefix + "\"****\" is not a whole number.";
    }

    void integerValueRefusesWhatIsNoWholeNumber()
    {
        QFETCH(Field, field);
        QFETCH(QVariant, stored);
        QFETCH(int, number);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        writeOneField(dir.filePath(QStringLiteral("T.DBF")), field, stored);
        auto table = openTable(dir.path(), QStringLiteral("T"));
        int read = 0;
        QCOMPARE(failureOf([&] { read = table->integerValue(QStringLiteral("UID")); }), failure);
        QCOMPARE(read, number);
    }

    void logicalValue_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("read"); // "true", "false", "none" or the failure
        for (const char mark : {'T', 't', 'Y', 'y'})
            QTest::addRow("%c", mark) << QVariant(QChar::fromLatin1(mark)) << "true";
        for (const char mark : {'F', 'f', 'N', 'n'})
            QTest::addRow("%c", mark) << QVariant(QChar::fromLatin1(mark)) << "false";
        QTest::newRow("blank") << QVariant() << "none";
        QTest::newRow("question mark") << QVariant(QChar::fromLatin1('?')) << "none";
        QTest::newRow("other mark") << QVariant(QChar::fromLatin1('X'))
                                    << "T.DBF, record 1, field LOG: \"X\" is not a logical value.";
    }

    void logicalValue()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, read);
        QTemporaryDir dir;
        writeOneField(dir.filePath(QStringLiteral("T.DBF")), {"LOG", 'L', 1}, stored);
        auto table = openTable(dir.path(), QStringLiteral("T"));
        std::optional<bool> value;
        const QString failure =
            failureOf([&] { value = table->logicalValue(QStringLiteral("LOG")); });
        const QString got = !failure.isEmpty() ? failure
                            : !value           ? QStringLiteral("none")
                            : *value           ? QStringLiteral("true")
                                               : QStringLiteral("false");
        QCOMPARE(got, read);
    }

    void fieldsKeepTheEngineView()
    {
        QTemporaryDir dir;
        dbffixture::writeTable(dir.filePath(QStringLiteral("T.DBF")),
                               {{"ID", 'N', 6}, {"NAME", 'C', 10}, {"OK", 'L', 1}},
                               {Record{{QVariant(), QByteArray("Caf\xe9 \x80"), QChar('T')}}});
        auto table = openTable(dir.path(), QStringLiteral("T"));
        QCOMPARE(table->fields().size(), 3);
        QCOMPARE(table->fieldInfo(QStringLiteral("ID")).type, dbe::FieldType::LongInt);
        QCOMPARE(table->fieldInfo(QStringLiteral("NAME")).size, 10);
        QCOMPARE(table->fieldInfo(QStringLiteral("OK")).type, dbe::FieldType::Logical);
        // The engine's lenient view: a blank number reads as 0; text as Windows-1252.
        QVERIFY(table->isNull(QStringLiteral("ID")));
        QCOMPARE(table->asInteger(QStringLiteral("ID")), 0);
        QCOMPARE(table->asString(QStringLiteral("NAME")), QStringLiteral("Café €"));
        QCOMPARE(table->asBoolean(QStringLiteral("OK")), true);
    }

    void windows1252_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("Latin-1 letters") << QByteArray("\xe9\xfc\xc4") << QStringLiteral("éüÄ");
        QTest::newRow("euro") << QByteArray("\x80") << QStringLiteral("€");
        QTest::newRow("Windows letters")
            << QByteArray("\x8a\x9a\x8c\x9c\x9f") << QStringLiteral("ŠšŒœŸ");
        QTest::newRow("unassigned keep C1") << QByteArray("\x81\x8d\x8f\x90\x9d")
                                            << QStringLiteral("\u0081\u008d\u008f\u0090\u009d");
    }

    void windows1252()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(dbe::dbase::fromWindows1252(bytes), text);
    }

    void refusesWhatIsNoReadableTable_data()
    {
        QTest::addColumn<QByteArray>("damage"); // what is done to a good three-record file
        QTest::addColumn<QString>("failure");
        QTest::newRow("missing file") << QByteArray("remove") << "Table does not exist: ";
        QTest::newRow("plain text") << QByteArray("text") << "T.DBF is not a dBASE table.";
        QTest::newRow("empty file") << QByteArray("empty") << "T.DBF is not a dBASE table.";
        QTest::newRow("header only half there")
            << QByteArray("cut header") << "T.DBF is not a dBASE table.";
        QTest::newRow("last record cut")
            << QByteArray("cut record")
            << "T.DBF is cut short: its header announces 3 records, the file holds 2.";
        QTest::newRow("dBASE 7") << QByteArray("level 7") << "T.DBF is not a dBASE table.";
    }

    void refusesWhatIsNoReadableTable()
    {
        QFETCH(QByteArray, damage);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.DBF"));
        dbffixture::writeTable(path, {{"ID", 'N', 6}, {"NAME", 'C', 20}},
                               {Record{{1, QByteArray("one")}}, Record{{2, QByteArray("two")}},
                                Record{{3, QByteArray("three")}}});
        QFile file(path);
        const qint64 goodSize = file.size();
        if (damage == "remove") {
            QVERIFY(file.remove());
        } else if (damage == "text") {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(
                QByteArray("These are the minutes of the meeting of the committee.\n").repeated(4));
        } else if (damage == "empty") {
            QVERIFY(file.resize(0));
        } else if (damage == "cut header") {
            QVERIFY(file.resize(40));
        } else if (damage == "cut record") {
            // Also drops the end-of-file mark after the last record.
            QVERIFY(file.resize(goodSize - 10));
        } else if (damage == "level 7") {
            dbffixture::setHeaderByte(path, 0, 0x04);
        }
        file.close();
        DBaseTable table;
        table.setDatabaseName(dir.path());
        table.setTableName(QStringLiteral("T"));
        QVERIFY2(failureOf([&] { table.open(); }).startsWith(failure),
                 qPrintable(failureOf([&] { table.open(); })));
        QVERIFY(!table.isOpen());
    }
};

QTEST_GUILESS_MAIN(DBaseTableTest)
#include "tst_dbasetable.moc"
