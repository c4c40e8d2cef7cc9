#include "tests/admin/adminfixture.h"

namespace adminfixture {

void pointAtBuiltHelp()
{
    qputenv("VESK_HELP_DIR", QByteArrayLiteral(VESK_TEST_HELP_DIR));
}

} // namespace adminfixture
