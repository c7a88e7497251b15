#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>

// Reads a carrier's text file line by line, whole lines of any length, in constant memory.
// The file is UTF-8 when all of it is valid UTF-8 (a BOM is skipped), otherwise Windows-1252.
class CarrierTextFile
{
public:
    // Longer lines are no call records; refusing them keeps a binary file from filling memory.
    static constexpr qsizetype kMaxLineBytes = 1 << 20;

    // Throws RuboError "Kann Datei <path> nicht öffnen." when the file cannot be read.
    void open(const QString& path);
    void close();
    bool isUtf8() const { return m_utf8; }
    // The next line without its line feed (a carriage return stays for StripLineEnd);
    // false at the end of the file. Throws RuboError on a read error, a NUL byte or a line longer
    // than kMaxLineBytes.
    bool readLine(QString& line);

private:
    bool fillBuffer();
    void decode(const char* data, qsizetype size, QString& line);
    bool scanIsUtf8();

    QFile m_file;
    QString m_path;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_eof = false;
    bool m_utf8 = true;
    QStringDecoder m_decoder;
};
