// libFuzzer target for the dBASE reader: whatever bytes a file holds, reading it must either
// succeed or fail with an engine error; never read out of bounds, never crash, never hang.

#include "dbe/dbase/dbasetable.h"
#include "dbe/dbase/dbffile.h"
#include "dbe/error.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        const dbe::dbase::DbfFile file(
            QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)),
            QStringLiteral("FUZZ.DBF"));
        for (int record = 0; record < file.recordCount(); ++record) {
            if (file.isDeleted(record))
                continue;
            for (int field = 0; field < file.fields().size(); ++field)
                dbe::dbase::fromWindows1252(file.rawValue(record, field));
        }
    } catch (const dbe::Error &) {
        // A refusal is a correct answer to damaged bytes.
    }
    return 0;
}
