#include "intl/timezone.h"

#include <QByteArray>
#include <QtGlobal>

namespace intl {

void readLocalTimeZoneOnce()
{
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
}

} // namespace intl
