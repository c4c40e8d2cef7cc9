#include "transfer/backupfile.h"

#include "dbe/crypto/sealing.h"
#include "dbe/error.h"
#include "dbe/safefilewriter.h"

#include <QFile>

namespace transfer {

void writeBackup(const QString &path, const Snapshot &snapshot, const QString &password)
{
    dbe::writeFileSafely(path, dbe::sealing::seal(encode(snapshot), password));
}

Snapshot readBackup(const QString &path, const QString &password)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw dbe::Error(
            QStringLiteral("Cannot read the backup %1: %2").arg(path, file.errorString()),
            dbe::Error::Io);
    const QByteArray sealed = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw dbe::Error(
            QStringLiteral("Cannot read the backup %1: %2").arg(path, file.errorString()),
            dbe::Error::Io);
    try {
        return decode(dbe::sealing::unseal(sealed, password));
    } catch (const dbe::Error &error) {
        throw dbe::Error(
            QStringLiteral("The backup %1 cannot be restored. %2").arg(path, error.text()),
            error.code());
    }
}

} // namespace transfer
