#include "support/PdfText.h"

#include <QProcess>
#include <QTest>

QStringList PdfPages(const QString& file, bool layout)
{
    QProcess tool;
    QStringList args;
    if (layout)
        args << QStringLiteral("-layout");
    args << QStringLiteral("-enc") << QStringLiteral("UTF-8") << file << QStringLiteral("-");
    tool.start(QStringLiteral("pdftotext"), args);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        QTest::qFail(qPrintable(QStringLiteral("pdftotext cannot read ") + file + QLatin1Char(' ')
                                + QString::fromUtf8(tool.readAllStandardError())),
                     __FILE__, __LINE__);
        return {};
    }
    QStringList pages = QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\f'));
    // The last page ends in a form feed too.
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}
