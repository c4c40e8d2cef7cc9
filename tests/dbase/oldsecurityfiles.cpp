#include "tests/dbase/oldsecurityfiles.h"

#include "tests/dbase/dbfwriter.h"

#include <QDir>
#include <stdexcept>

namespace oldfixture {

QByteArray encode(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        quint8 byte = 0;
        switch (c.unicode()) {
        case 0x20AC: // €
            byte = 0x80;
            break;
        case 0x0160: // Š
            byte = 0x8A;
            break;
        case 0x2122: // ™
            byte = 0x99;
            break;
        default:
            if (c.unicode() > 0xFF || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
                throw std::invalid_argument("no Windows-1252 byte for a test character");
            byte = quint8(c.unicode());
        }
        bytes.append(char(quint8(128 - byte)));
    }
    return bytes;
}

namespace {

QString fileIn(const QString &dir, const char *name)
{
    return QDir(dir).filePath(QString::fromLatin1(name));
}

} // namespace

void writeUsers(const QString &dir, const QList<User> &users)
{
    QList<dbffixture::Record> records;
    for (const User &u : users)
        records.append({{u.id, encode(u.login), encode(u.password)}, u.deleted});
    dbffixture::writeTable(fileIn(dir, "WOBSEC1.DBF"),
                           {{"UID", 'N', 8}, {"LOGIN", 'C', 30}, {"PASSWORD", 'C', 20}}, records);
}

void writeConstants(const QString &dir, const QList<Constant> &constants)
{
    QList<dbffixture::Record> records;
    for (const Constant &c : constants)
        records.append({{c.id, encode(c.label)}, c.deleted});
    dbffixture::writeTable(fileIn(dir, "WOBSEC2.DBF"), {{"ACCESSID", 'N', 8}, {"LABEL", 'C', 30}},
                           records);
}

void writeRights(const QString &dir, const QList<Right> &rights)
{
    QList<dbffixture::Record> records;
    for (const Right &r : rights)
        records.append({{r.user, r.access}, r.deleted});
    dbffixture::writeTable(fileIn(dir, "WOBSEC3.DBF"), {{"UID", 'N', 8}, {"ACCESSID", 'N', 8}},
                           records);
}

void writeSystem(const QString &dir, const QList<System> &rows)
{
    QList<dbffixture::Record> records;
    for (const System &s : rows)
        records.append({{encode(s.description), s.loginLog}});
    dbffixture::writeTable(fileIn(dir, "WOBSEC4.DBF"),
                           {{"DESCRIPT", 'C', 60}, {"LOGINLOG", 'L', 1}}, records);
}

} // namespace oldfixture
