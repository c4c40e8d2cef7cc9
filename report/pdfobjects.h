#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

namespace report::pdf {

// Appends a number as a PDF content stream wants it: at most three decimals, no exponent, no
// trailing zeros. Written by hand because a page holds thousands of them and QByteArray's
// general formatting is a good part of a page's cost.
void appendNumber(QByteArray &out, double value);
void appendInteger(QByteArray &out, qint64 value);

// The text's UTF-16 code units as hex digits, four to a unit.
QByteArray utf16Hex(const QString &text);
// A text string in UTF-16 with its byte order mark, as hex, for the document information.
QByteArray textString(const QString &text);

// Writes a PDF file's objects one after another straight to the device, remembering where each
// starts, and ends the file with the cross-reference table. Object numbers are handed out by
// reserve(), so that a page can name its resources before they are written. A failed write is
// kept (failed(), errorString()) and every later write skipped: the caller decides at the end.
class ObjectWriter
{
public:
    explicit ObjectWriter(QIODevice &device);

    int reserve();
    void writeObject(int number, const QByteArray &body);
    // A stream object; `dictionary` holds the entries besides /Length and /Filter. Compressed
    // with Flate unless `compress` is false.
    void writeStream(int number, const QByteArray &dictionary, const QByteArray &data,
                     bool compress = true);
    // The cross-reference table and the trailer. Every reserved number must have been written.
    void finish(int catalog, int info);

    bool failed() const { return m_failed; }
    QString errorString() const { return m_error; }

private:
    void write(const QByteArray &bytes);
    void beginObject(int number);

    QIODevice &m_device;
    qint64 m_written = 0;
    QList<qint64> m_offsets{0}; // by object number; object 0 is the free list's head
    bool m_failed = false;
    QString m_error;
};

} // namespace report::pdf
