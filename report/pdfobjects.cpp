#include "report/pdfobjects.h"

#include <QIODevice>
#include <cmath>
#include <cstdio>

namespace report::pdf {

namespace {

// Writes the digits of `magnitude` ending just before `end`; answers where they start.
char *digitsBefore(char *end, quint64 magnitude)
{
    do {
        *--end = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    return end;
}

} // namespace

void appendInteger(QByteArray &out, qint64 value)
{
    char buffer[24];
    char *end = buffer + sizeof buffer;
    const quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    char *start = digitsBefore(end, magnitude);
    if (value < 0)
        *--start = '-';
    out.append(start, end - start);
}

void appendNumber(QByteArray &out, double value)
{
    if (!std::isfinite(value) || std::abs(value) > 1e15) {
        out.append('0');
        return;
    }
    // Rounded by hand: llround is a call into the maths library for every number of a page.
    const double scaled = value * 1000;
    const qint64 thousandths = qint64(scaled + (scaled < 0 ? -0.5 : 0.5));
    const quint64 magnitude = thousandths < 0 ? quint64(0) - quint64(thousandths)
                                              : quint64(thousandths);
    char buffer[32];
    char *end = buffer + sizeof buffer;
    unsigned fraction = unsigned(magnitude % 1000);
    if (fraction != 0) {
        int decimals = 3;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --decimals;
        }
        for (int i = 0; i < decimals; ++i) {
            *--end = char('0' + fraction % 10);
            fraction /= 10;
        }
        *--end = '.';
    }
    char *start = digitsBefore(end, magnitude / 1000);
    if (thousandths < 0)
        *--start = '-';
    out.append(start, buffer + sizeof buffer - start);
}

QByteArray utf16Hex(const QString &text)
{
    QByteArray hex;
    hex.reserve(text.size() * 4);
    for (const QChar c : text) {
        char unit[5];
        std::snprintf(unit, sizeof unit, "%04X", unsigned(c.unicode()));
        hex.append(unit, 4);
    }
    return hex;
}

QByteArray textString(const QString &text)
{
    return "<FEFF" + utf16Hex(text) + '>';
}

ObjectWriter::ObjectWriter(QIODevice &device) : m_device(device)
{
    // The comment's bytes above 127 tell file transfer programs that the file is binary.
    write(QByteArrayLiteral("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"));
}

int ObjectWriter::reserve()
{
    m_offsets.append(-1);
    return int(m_offsets.size() - 1);
}

void ObjectWriter::write(const QByteArray &bytes)
{
    if (m_failed)
        return;
    if (m_device.write(bytes) != bytes.size()) {
        m_failed = true;
        m_error = m_device.errorString();
        return;
    }
    m_written += bytes.size();
}

void ObjectWriter::beginObject(int number)
{
    m_offsets[number] = m_written;
    QByteArray head;
    appendInteger(head, number);
    head.append(" 0 obj\n");
    write(head);
}

void ObjectWriter::writeObject(int number, const QByteArray &body)
{
    beginObject(number);
    write(body);
    write(QByteArrayLiteral("\nendobj\n"));
}

void ObjectWriter::writeStream(int number, const QByteArray &dictionary, const QByteArray &data,
                               bool compress)
{
    QByteArray body = data;
    QByteArray head("<<");
    head.append(dictionary);
    if (compress) {
        // qCompress gives a zlib stream behind four bytes of length; Flate wants the stream.
        // The lowest level: a page's text operators repeat so much that the higher levels
        // shrink the file little more and cost several times as long.
        body = qCompress(data, 1).mid(4);
        head.append("/Filter/FlateDecode");
    }
    head.append("/Length ");
    appendInteger(head, body.size());
    head.append(">>\nstream\n");
    beginObject(number);
    write(head);
    write(body);
    write(QByteArrayLiteral("\nendstream\nendobj\n"));
}

void ObjectWriter::finish(int catalog, int info)
{
    const qint64 xref = m_written;
    QByteArray table("xref\n0 ");
    appendInteger(table, m_offsets.size());
    table.append("\n0000000000 65535 f \n");
    for (qsizetype number = 1; number < m_offsets.size(); ++number) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010lld 00000 n \n",
                      static_cast<long long>(qMax<qint64>(0, m_offsets[number])));
        table.append(entry, 20);
    }
    table.append("trailer\n<</Size ");
    appendInteger(table, m_offsets.size());
    table.append("/Root ");
    appendInteger(table, catalog);
    table.append(" 0 R/Info ");
    appendInteger(table, info);
    table.append(" 0 R>>\nstartxref\n");
    appendInteger(table, xref);
    table.append("\n%%EOF\n");
    write(table);
}

} // namespace report::pdf
