#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>

// Reads a carrier's text file line by line, whole lines of any length, in constant memory.
// Each line is decoded on its own: as UTF-8 when it is valid UTF-8, otherwise as Windows-1252,
// so one broken line cannot turn the umlauts of all the others into mojibake. A BOM at the
// start of the file is skipped, and so is one that starts a later UTF-8 line (files joined by
// hand), since it would hide the record type.
//
// A line ends at CR LF, CR CR LF (a CR LF file converted once more on Windows), a lone CR (old
// Mac files) or a lone LF. Any other run of them ends a line and then empty lines: "\r\r" and
// "\n\r" are two line ends each, as "\n\n" is. A line never holds a CR or LF.
class CarrierTextFile
{
public:
    // Longer lines are no call records; refusing them keeps a binary file from filling memory.
    static constexpr qsizetype kMaxLineBytes = 1 << 20;
    // The file is read in blocks of this size; each is checked for NUL bytes as it arrives.
    static constexpr qsizetype kBlockBytes = 1 << 16;

    // Reads the first block. Throws RuboError "Kann Datei <path> nicht öffnen." when the file
    // cannot be read, and "Die Datei <path> ist keine Textdatei." for a device, a FIFO or a
    // first block holding a NUL byte.
    void open(const QString& path);
    void close();
    // The next line without its line end; false at the end of the file. Throws RuboError on a
    // read error, a block holding a NUL byte, or a line longer than kMaxLineBytes.
    bool readLine(QString& line);
    // The line read last ended the file without a line end: a file cut off ends so.
    bool lastLineUnended() const { return m_unended; }

private:
    bool fillBuffer();
    void decode(const char* data, qsizetype size, bool ascii, QString& line);
    [[noreturn]] void throwNotText() const;

    QFile m_file;
    QString m_path;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_eof = true;
    bool m_unended = false;
    QStringDecoder m_decoder;
};
