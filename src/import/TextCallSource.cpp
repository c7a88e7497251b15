#include "import/TextCallSource.h"

#include "database/Messages.h"

TextCallSource::TextCallSource(QString path, std::unique_ptr<TextCallFormat> format)
    : m_path(std::move(path)), m_format(std::move(format))
{
}

void TextCallSource::openFile(QString& stage)
{
    m_skippedLines = 0;
    stage = QStringLiteral("open File");
    m_file.open(m_path);
}

void TextCallSource::prepare(QString& stage)
{
    for (int i = 0; i < m_format->headerLines(); ++i) {
        stage = QStringLiteral("skip HeaderLine");
        m_file.readLine(m_line);
    }
}

bool TextCallSource::askToStop(TextCallFormat::Verdict verdict, int code, int callsRead) const
{
    const int line = callsRead + m_format->headerLines() + 1;
    QString question;
    if (verdict == TextCallFormat::Verdict::SplitFailed)
        question = QStringLiteral("Fehlernummer ") + QString::number(code) + QStringLiteral(" ist beim Zerlegen der Zeile Nr. ")
            + QString::number(line) + QStringLiteral(" aufgetreten.");
    else if (verdict == TextCallFormat::Verdict::Unusable)
        question = m_format->problem() + QStringLiteral("\nZeile Nr:") + QString::number(line);
    else
        question = QStringLiteral("Beim Zerlegen der Zeile wurden nicht die erforderlichen Spaltenanzahl gefunden.")
            + QStringLiteral("\nErforderliche Spaltenanzahl:") + QString::number(code) + QStringLiteral("\nZeile Nr:")
            + QString::number(line);
    return AskYesNo(question + QStringLiteral("\nSoll der Import abgebrochen werden ?"));
}

CallSource::Step TextCallSource::next(int callsRead, QString& stage)
{
    Q_UNUSED(stage);
    // The file delivers lines without their line end.
    while (m_file.readLine(m_line)) {
        int code = 0;
        const TextCallFormat::Verdict verdict = m_format->classify(m_line, code);
        switch (verdict) {
        case TextCallFormat::Verdict::Call:
            m_lastCallUnended = m_file.lastLineUnended();
            return Step::Call;
        case TextCallFormat::Verdict::NotACall:
            break;
        case TextCallFormat::Verdict::SplitFailed:
        case TextCallFormat::Verdict::TooFewFields:
        case TextCallFormat::Verdict::Unusable:
            if (askToStop(verdict, code, callsRead))
                return Step::StoppedByUser;
            ++m_skippedLines;
            break;
        }
    }
    return Step::End;
}

void TextCallSource::fill(TEGN& egn)
{
    m_format->fill(egn);
}

void TextCallSource::close() noexcept
{
    m_file.close();
}

QString TextCallSource::failurePlace(int callsRead, const QString& stage) const
{
    return QStringLiteral("\nZeile:") + QString::number(callsRead) + QStringLiteral("\nInterner Status:") + stage;
}
