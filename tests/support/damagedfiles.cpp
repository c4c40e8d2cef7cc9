#include "tests/support/damagedfiles.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QtDebug>

namespace testsupport {

namespace {

// The page size the engine's table files are written with.
constexpr qint64 PageSize = 1024;

bool flipPage(QFile &file, qint64 page)
{
    // Bytes in the middle of the page: its data, not the salt or the page's own check bytes.
    const qint64 offset = page * PageSize + PageSize / 2;
    if (!file.seek(offset))
        return false;
    QByteArray bytes = file.read(8);
    for (char &byte : bytes)
        byte = char(~byte);
    return file.seek(offset) && file.write(bytes) == bytes.size();
}

// A database of SQLite's own, unencrypted, made by the shell as any outside program would.
bool writePlainSqliteFile(const QString &path)
{
    QFile::remove(path);
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"),
                {QStringLiteral("-batch"), path,
                 QStringLiteral("CREATE TABLE USERS (User_ID INTEGER PRIMARY KEY, User_Name "
                                "TEXT); INSERT INTO USERS VALUES (1, 'intruder');")});
    return shell.waitForFinished(30000) && shell.exitCode() == 0 && QFile::exists(path);
}

} // namespace

QList<std::pair<QString, Damage>> allDamages()
{
    return {
        {QStringLiteral("first page flipped"), Damage::FirstPageFlipped},
        {QStringLiteral("middle page flipped"), Damage::MiddlePageFlipped},
        {QStringLiteral("last page flipped"), Damage::LastPageFlipped},
        {QStringLiteral("truncated to half"), Damage::TruncatedToHalf},
        {QStringLiteral("truncated to zero"), Damage::TruncatedToZero},
        {QStringLiteral("random bytes"), Damage::RandomBytes},
        {QStringLiteral("plain SQLite file"), Damage::PlainSqliteFile},
        {QStringLiteral("missing"), Damage::Missing},
    };
}

bool damageFile(const QString &path, Damage damage)
{
    if (damage == Damage::Missing)
        return QFile::remove(path);
    if (damage == Damage::PlainSqliteFile)
        return writePlainSqliteFile(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        qWarning() << "cannot damage" << path << file.errorString();
        return false;
    }
    const qint64 pages = file.size() / PageSize;
    switch (damage) {
    case Damage::FirstPageFlipped:
        return flipPage(file, 0);
    case Damage::MiddlePageFlipped:
        return pages >= 3 && flipPage(file, pages / 2);
    case Damage::LastPageFlipped:
        return flipPage(file, pages - 1);
    case Damage::TruncatedToHalf:
        return file.resize(file.size() / 2);
    case Damage::TruncatedToZero:
        return file.resize(0);
    case Damage::RandomBytes: {
        QRandomGenerator random(20260101);
        QByteArray noise(file.size(), Qt::Uninitialized);
        for (char &byte : noise)
            byte = char(random.bounded(256));
        return file.seek(0) && file.write(noise) == noise.size();
    }
    default:
        return false;
    }
}

} // namespace testsupport
