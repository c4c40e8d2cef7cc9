#include "dbe/dbase/dbffile.h"

#include "dbe/error.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <shapefil.h>

namespace dbe::dbase {

namespace {

// The fixed part of the dBASE header.
constexpr int FileHeaderSize = 32;
constexpr int FieldDescriptorSize = 32;

// Shapelib reads through file hooks; these serve it the bytes already in memory, so the file is
// read once, by us, and what shapelib parses is exactly what was checked.
struct MemoryFile {
    const QByteArray *bytes = nullptr;
    qint64 position = 0;
};

// The bytes FOpen hands out. Set only for the duration of DBFOpenLL on this thread.
thread_local const QByteArray *bytesToOpen = nullptr;
// Shapelib reports failures through a hook without context; the last one is kept here.
thread_local QString shapelibError;

MemoryFile *memoryFile(SAFile file)
{
    return reinterpret_cast<MemoryFile *>(file);
}

SAFile openMemory(const char *name, const char *)
{
    const std::size_t length = std::strlen(name);
    const bool codePageFile = length >= 4 && (std::strcmp(name + length - 4, ".cpg") == 0 ||
                                              std::strcmp(name + length - 4, ".CPG") == 0);
    // The old files come alone; a code page file beside them is not looked for.
    if (codePageFile || bytesToOpen == nullptr)
        return nullptr;
    return reinterpret_cast<SAFile>(new MemoryFile{bytesToOpen, 0});
}

SAOffset readMemory(void *target, SAOffset size, SAOffset count, SAFile file)
{
    MemoryFile *f = memoryFile(file);
    if (size == 0 || count == 0)
        return 0;
    const qint64 available = std::max<qint64>(0, f->bytes->size() - f->position);
    const SAOffset whole = std::min<SAOffset>(count, SAOffset(available) / size);
    std::memcpy(target, f->bytes->constData() + f->position, whole * size);
    f->position += qint64(whole * size);
    return whole;
}

SAOffset writeNothing(void *, SAOffset, SAOffset, SAFile)
{
    return 0;
}

SAOffset seekMemory(SAFile file, SAOffset offset, int whence)
{
    MemoryFile *f = memoryFile(file);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = f->position;
    else if (whence == SEEK_END)
        base = f->bytes->size();
    f->position = base + qint64(offset);
    return 0;
}

SAOffset tellMemory(SAFile file)
{
    return SAOffset(memoryFile(file)->position);
}

int flushNothing(SAFile)
{
    return 0;
}

int closeMemory(SAFile file)
{
    delete memoryFile(file);
    return 0;
}

int removeNothing(const char *)
{
    return -1;
}

void keepError(const char *message)
{
    shapelibError = QString::fromLocal8Bit(message);
}

double toDouble(const char *text)
{
    return std::strtod(text, nullptr);
}

SAHooks memoryHooks()
{
    SAHooks hooks{};
    hooks.FOpen = openMemory;
    hooks.FRead = readMemory;
    hooks.FWrite = writeNothing;
    hooks.FSeek = seekMemory;
    hooks.FTell = tellMemory;
    hooks.FFlush = flushNothing;
    hooks.FClose = closeMemory;
    hooks.Remove = removeNothing;
    hooks.Error = keepError;
    hooks.Atof = toDouble;
    return hooks;
}

int littleEndian(const QByteArray &bytes, int offset, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(offset + i));
    return int(value & 0x7fffffffu);
}

// The version bytes of dBASE III, dBASE IV and the FoxPro family, whose headers shapelib reads.
// dBASE 7 has longer field descriptors and is refused rather than misread.
bool isDBaseVersion(quint8 version)
{
    switch (version) {
    case 0x02:
    case 0x03:
    case 0x30:
    case 0x31:
    case 0x43:
    case 0x63:
    case 0x83:
    case 0x8B:
    case 0xCB:
    case 0xF5:
    case 0xFB:
        return true;
    default:
        return false;
    }
}

} // namespace

struct DbfFile::Handle {
    DBFHandle dbf = nullptr;
    ~Handle() { DBFClose(dbf); }
};

DbfFile::DbfFile(QByteArray bytes, const QString &fileName)
    : m_bytes(std::move(bytes)), m_fileName(fileName), m_handle(std::make_unique<Handle>())
{
    const Error notDBase(QStringLiteral("%1 is not a dBASE table.").arg(m_fileName), Error::Io);
    if (m_bytes.size() < FileHeaderSize || !isDBaseVersion(quint8(m_bytes.at(0))))
        throw notDBase;
    const int records = littleEndian(m_bytes, 4, 4);
    const int headerLength = littleEndian(m_bytes, 8, 2);
    const int recordLength = littleEndian(m_bytes, 10, 2);
    if (headerLength < FileHeaderSize + FieldDescriptorSize || headerLength > m_bytes.size() ||
        recordLength < 1)
        throw notDBase;
    const qint64 held = (m_bytes.size() - headerLength) / recordLength;
    if (held < records)
        throw Error(QStringLiteral("%1 is cut short: its header announces %2 records, the file "
                                   "holds %3.")
                        .arg(m_fileName)
                        .arg(records)
                        .arg(held),
                    Error::Io);

    SAHooks hooks = memoryHooks();
    bytesToOpen = &m_bytes;
    m_handle->dbf = DBFOpenLL("memory.dbf", "rb", &hooks);
    bytesToOpen = nullptr;
    if (!m_handle->dbf || DBFGetFieldCount(m_handle->dbf) < 1)
        throw notDBase;

    int offset = 1; // after the deletion mark
    for (int i = 0; i < DBFGetFieldCount(m_handle->dbf); ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        DBFGetFieldInfo(m_handle->dbf, i, name, &width, &decimals);
        m_fields.append({QString::fromLatin1(name).trimmed(),
                         DBFGetNativeFieldType(m_handle->dbf, i), width, decimals});
        m_offsets.append(offset);
        offset += width;
    }
    m_recordCount = DBFGetRecordCount(m_handle->dbf);
}

DbfFile::~DbfFile() = default;

int DbfFile::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const char *DbfFile::recordBytes(int record) const
{
    shapelibError.clear();
    const char *tuple = DBFReadTuple(m_handle->dbf, record);
    if (!tuple)
        throw Error(QStringLiteral("%1: record %2 cannot be read. %3")
                        .arg(m_fileName)
                        .arg(record + 1)
                        .arg(shapelibError)
                        .trimmed(),
                    Error::Io);
    return tuple;
}

bool DbfFile::isDeleted(int record) const
{
    recordBytes(record); // reports a record that cannot be read, which the test below would not
    return DBFIsRecordDeleted(m_handle->dbf, record);
}

QByteArray DbfFile::rawValue(int record, int field) const
{
    const char *tuple = recordBytes(record);
    return QByteArray(tuple + m_offsets.at(field), m_fields.at(field).width);
}

} // namespace dbe::dbase
