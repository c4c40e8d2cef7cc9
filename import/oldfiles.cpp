#include "import/oldfiles.h"

#include "dbe/dbase/dbasetable.h"
#include "dbe/error.h"
#include "dbe/fileaccess.h"

#include <QFile>

namespace {

constexpr qint64 ProductionIndexFlagOffset = 28;
// DecodeOldText read a field into an 80-byte buffer with its terminating zero.
constexpr int OldTextLimit = 79;

[[noreturn]] void failOn(const QFile &file, const QString &reason = QString())
{
    throw dbe::Error(QStringLiteral("Cannot change the header of %1: %2")
                         .arg(file.fileName(), reason.isEmpty() ? file.errorString() : reason),
                     dbe::Error::Io);
}

const QString TooShort = QStringLiteral("the file is too short for a dBASE header");

} // namespace

namespace oldfiles {

bool allPresent(const QString &directory)
{
    return std::all_of(AllFiles.cbegin(), AllFiles.cend(), [&](const QString &file) {
        return dbe::DBaseTable::exists(directory, file);
    });
}

} // namespace oldfiles

QString DecodeOldText(const QByteArray &field)
{
    QByteArray bytes = field.left(OldTextLimit);
    while (!bytes.isEmpty() && bytes.back() == ' ')
        bytes.chop(1);
    for (char &byte : bytes)
        byte = char(quint8(128 - quint8(byte)));
    return dbe::dbase::fromWindows1252(bytes);
}

void SetProductionIndexFlag(const QString &path, quint8 value)
{
    QFile file(path);
    if (const QString refused = dbe::openRegularFile(file, QIODevice::ReadWrite);
        !refused.isEmpty())
        failOn(file, refused);
    if (file.size() <= ProductionIndexFlagOffset)
        failOn(file, TooShort);
    const char byte = char(value);
    if (!file.seek(ProductionIndexFlagOffset) || file.write(&byte, 1) != 1 || !file.flush())
        failOn(file);
}

quint8 ProductionIndexFlag(const QString &path)
{
    QFile file(path);
    char byte = 0;
    if (const QString refused = dbe::openRegularFile(file, QIODevice::ReadOnly); !refused.isEmpty())
        failOn(file, refused);
    if (!file.seek(ProductionIndexFlagOffset) || file.read(&byte, 1) != 1)
        failOn(file, file.error() == QFileDevice::NoError ? TooShort : QString());
    return quint8(byte);
}
