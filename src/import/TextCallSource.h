#pragma once

#include "import/CallSource.h"
#include "import/CarrierTextFile.h"
#include "import/TextCallFormat.h"

#include <memory>

// A carrier's text file, line by line through its format (".edi", ".csv", ".one"). A line that
// cannot be used is put to the user: Yes ends the import with the calls read so far, No skips it.
class TextCallSource : public CallSource
{
public:
    TextCallSource(QString path, std::unique_ptr<TextCallFormat> format);

    void openFile(QString& stage) override;
    void prepare(QString& stage) override;
    Step next(int callsRead, QString& stage) override;
    void fill(TEGN& egn) override;
    void close() noexcept override;
    QString failurePlace(int callsRead, const QString& stage) const override;
    int skippedLines() const override { return m_skippedLines; }
    bool lastCallUnended() const override { return m_lastCallUnended; }
    std::optional<int> declaredCount() const override { return m_format->declaredCount(); }

private:
    bool askToStop(TextCallFormat::Verdict verdict, int code, int callsRead) const;

    QString m_path;
    std::unique_ptr<TextCallFormat> m_format;
    CarrierTextFile m_file;
    QString m_line;
    int m_skippedLines = 0;
    bool m_lastCallUnended = false;
};
