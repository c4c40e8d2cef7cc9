#include "tests/admin/importfixture.h"

#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "tests/dbase/dbfwriter.h"

#include <QFileInfo>

namespace importfixture {

namespace {

const QStringList AccessFields = {QStringLiteral("Access_ID"), QStringLiteral("Access_Name")};
// Every field, so that a field the import must leave blank shows when it is not.
const QStringList UserFields = {
    QStringLiteral("User_ID"),          QStringLiteral("User_Name"),
    QStringLiteral("User_Password"),    QStringLiteral("User_Def1"),
    QStringLiteral("User_Def2"),        QStringLiteral("User_LastAccess"),
    QStringLiteral("User_AccessCount"), QStringLiteral("User_Enabled"),
    QStringLiteral("User_Admin")};
const QStringList RightFields = {QStringLiteral("User_ID"), QStringLiteral("Access_ID"),
                                 QStringLiteral("Type")};
const QStringList ProgramFields = {QStringLiteral("Security_Label"), QStringLiteral("Enabled"),
                                   QStringLiteral("DateDisabled"),   QStringLiteral("Label1"),
                                   QStringLiteral("Label2"),         QStringLiteral("LogEnabled")};

} // namespace

QStringList everyImportTarget(const QString &alias)
{
    QStringList rows;
    const auto add = [&](const QString &table, const QStringList &fields) {
        for (const QString &row : rowsOf(alias, table, fields))
            rows.append(table + QStringLiteral(": ") + row);
    };
    add(QStringLiteral("ACCESS.DB"), AccessFields);
    add(QStringLiteral("USERS.DB"), UserFields);
    add(QStringLiteral("USERACC.DB"), RightFields);
    add(QStringLiteral("PROGRAM.DB"), ProgramFields);
    return rows;
}

TargetDb::TargetDb(const QString &alias, const QString &password)
    : SecurityDb(alias, password), m_connection(dbe::Session::instance().database(alias))
{
}

TargetDb::~TargetDb() = default;

OldFiles::OldFiles()
{
    constants = {{5, QStringLiteral("Edit Orders")},
                 {9, QStringLiteral("Delete Orders"), true},
                 {7, QStringLiteral("Print €")},
                 {12, QStringLiteral("Café Menü")}};
    users = {{3, QStringLiteral("JSMITH"), QStringLiteral("secret")},
             {4, QStringLiteral("GONE"), QStringLiteral("x"), true},
             {8, QStringLiteral("Renée"), QString()},
             {11, QStringLiteral("Šárka Dvorák™"), QStringLiteral("pässwort")}};
    rights = {{3, 5},  {3, 7},        {4, 5}, // the user was deleted
              {3, 99},                        // no such constant
              {8, 12}, {8, 9},                // the constant was deleted
              {11, 7}, {11, 5, true},         // a deleted right
              {42, 5}};                       // no such user
    system = {{QStringLiteral("Old Security ™"), QChar(u'T')}};
    write();
}

void OldFiles::write() const
{
    oldfixture::writeUsers(dir(), users);
    oldfixture::writeConstants(dir(), constants);
    oldfixture::writeRights(dir(), rights);
    oldfixture::writeSystem(dir(), system);
}

QStringList OldFiles::expectedLines(bool withSystem)
{
    QStringList lines = {QStringLiteral("** Converting Access Constants **"),
                         QStringLiteral("Edit Orders mapped from 5 to 1"),
                         QStringLiteral("Print € mapped from 7 to 2"),
                         QStringLiteral("Café Menü mapped from 12 to 3"),
                         QString(),
                         QStringLiteral("** Converting Users **"),
                         QStringLiteral("JSMITH mapped from 3 to 1"),
                         QStringLiteral("Renée mapped from 8 to 2"),
                         QStringLiteral("Šárka Dvorák™ mapped from 11 to 3"),
                         QString(),
                         QStringLiteral("** Converting User Access Rights **"),
                         QStringLiteral("Id 1 added for user 1"),
                         QStringLiteral("Id 2 added for user 1"),
                         QStringLiteral("Id 3 added for user 2"),
                         QStringLiteral("Id 2 added for user 3")};
    if (withSystem)
        lines << QString() << QStringLiteral("** Converting System Information **");
    return lines;
}

QStringList OldFiles::expectedAccess()
{
    return {QStringLiteral("1|Edit Orders"), QStringLiteral("2|Print €"),
            QStringLiteral("3|Café Menü")};
}

QStringList OldFiles::expectedUsers()
{
    return {QStringLiteral("1|JSMITH|secret||||||"), QStringLiteral("2|Renée|||||||"),
            QStringLiteral("3|Šárka Dvorák™|pässwort||||||")};
}

QStringList OldFiles::expectedRights()
{
    return {QStringLiteral("1|1|C"), QStringLiteral("1|2|C"), QStringLiteral("2|3|C"),
            QStringLiteral("3|2|C")};
}

QList<int> OldFiles::headerFlags() const
{
    QList<int> flags;
    for (const char *file : {"WOBSEC1.DBF", "WOBSEC2.DBF", "WOBSEC3.DBF", "WOBSEC4.DBF"}) {
        const QString name = path(QString::fromLatin1(file));
        flags.append(QFileInfo(name).isFile() ? dbffixture::headerByte(name, 28) : -1);
    }
    return flags;
}

void OldFiles::setHeaderFlags(const QList<int> &flags) const
{
    const char *files[] = {"WOBSEC1.DBF", "WOBSEC2.DBF", "WOBSEC3.DBF", "WOBSEC4.DBF"};
    for (int i = 0; i < 4; ++i) {
        const QString name = path(QString::fromLatin1(files[i]));
        if (QFile::exists(name))
            dbffixture::setHeaderByte(name, 28, quint8(flags.value(i)));
    }
}

} // namespace importfixture
