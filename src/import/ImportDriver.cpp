#include "import/ImportDriver.h"

#include "database/Messages.h"
#include "database/dmlMain.h"
#include "import/CsvReader.h"
#include "import/EdiReader.h"
#include "import/ImportFrame.h"
#include "import/MdbCallSource.h"
#include "import/OneReader.h"
#include "import/TextCallSource.h"
#include "import/ZipImport.h"

#include <QFileInfo>
#include <QTime>
#include <exception>
#include <memory>

namespace {

QString extensionOf(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

// The source of a file type whose calls the import reads; nullptr for any other type.
std::unique_ptr<CallSource> callSourceFor(const QString& extension, const QString& path)
{
    if (extension == QLatin1String(".mdb"))
        return std::make_unique<MdbCallSource>(path);
    if (extension == QLatin1String(".csv"))
        return std::make_unique<TextCallSource>(path, std::make_unique<CsvReader>());
    if (extension == QLatin1String(".edi"))
        return std::make_unique<TextCallSource>(path, std::make_unique<EdiReader>());
    if (extension == QLatin1String(".one"))
        return std::make_unique<TextCallSource>(path, std::make_unique<OneReader>());
    return nullptr;
}

void reportEnd(const ImportResult& result)
{
    QString text = QString::number(result.count) + QStringLiteral(" EGN's wurden geladen");
    // A cut or damaged file must not look like a whole one.
    if (result.skipped > 0)
        text += QStringLiteral(" - Achtung: %1 fehlerhafte Zeile(n) übersprungen").arg(result.skipped);
    if (result.complete && result.lastCallUnended)
        text += QStringLiteral(" - Achtung: die Datei endet mitten in der letzten Zeile, sie ist vielleicht abgeschnitten");
    if (result.complete && result.declared && *result.declared != result.count)
        text += QStringLiteral(" - Achtung: laut Nachsatz enthält die Datei %1 EGN's").arg(*result.declared);
    SetStatusText(text);
    SetStatusPanel(StatusPanel::ImportEnd, QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
}

ImportResult importFile(TdmMain& dm, const QString& path, const QString& origin)
{
    const QString extension = extensionOf(path);
    if (extension == QLatin1String(".zip")) {
        ImportResult result = ImportZip(dm, path);
        reportEnd(result);
        return result;
    }
    std::unique_ptr<CallSource> source = callSourceFor(extension, path);
    if (!source) {
        MessageOk(UnsupportedTypeMessage(extension));
        SetStatusText(QString());
        return {};
    }
    ImportResult result = ImportCalls(dm, *source, path, origin);
    result.recognised = true;
    reportEnd(result);
    return result;
}

} // namespace

QString UnsupportedTypeMessage(const QString& extension)
{
    return QStringLiteral("Filetyp (") + extension
        + QStringLiteral(") wird leider noch nicht unterstützt.\n\nUnterstützte Filetypen:\n"
                         ".edi .. DRAVIK Format (mit Tabulator getrennte Felder, V2.1)\n"
                         ".csv .. Comma Separated Values (mit ; getrennte Felder)\n"
                         ".mdb .. MS Access Datenbank (mit Tabelle 'calls')\n"
                         ".zip .. Komprimiertes Archive mit einen (oder mehreren) der obigen Filetypen");
}

ImportResult ImportFile(TdmMain& dm, const QString& path, const QString& origin)
{
    try {
        return importFile(dm, path, origin);
    } catch (const std::exception& e) {
        // The frame has caught what happened inside the transaction; this is what is left.
        MessageOk(QStringLiteral("Daten können wegen eines Fehlers nicht geladen werden.\n") + QString::fromUtf8(e.what()));
    } catch (...) {
        MessageOk(QStringLiteral("Daten können wegen eines Fehlers nicht geladen werden.\nUnbekannter Fehler."));
    }
    return {};
}
