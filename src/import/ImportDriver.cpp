#include "import/ImportDriver.h"

#include "import/CarrierTextFile.h"
#include "database/Conversions.h"
#include "import/EdiReader.h"
#include "database/Egn.h"
#include "database/Messages.h"
#include "database/ReferenceLists.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"

#include <QFileInfo>
#include <QTime>
#include <memory>

namespace {

constexpr int kProgressEvery = 100;

QString extensionOf(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

std::unique_ptr<TextCallFormat> textFormatFor(const QString& extension)
{
    if (extension == QLatin1String(".edi"))
        return std::make_unique<EdiReader>();
    return nullptr;
}

// The state of one file's import; `stage` always names the stage reached last.
struct TextImport
{
    TdmMain& dm;
    const QString& path;
    const QString& origin;
    TextCallFormat& format;
    QString stage;
    int count = 0;
    int dateiId = 0;
    bool stoppedByUser = false;

    ImportResult run();
    void readCalls(CarrierTextFile& file, TblEGN& tblEGN);
    bool askToStop(TextCallFormat::Verdict verdict, int code);
};

bool TextImport::askToStop(TextCallFormat::Verdict verdict, int code)
{
    const int line = count + format.headerLines() + 1;
    QString question;
    if (verdict == TextCallFormat::Verdict::SplitFailed)
        question = QStringLiteral("Fehlernummer ") + QString::number(code) + QStringLiteral(" ist beim Zerlegen der Zeile Nr. ")
            + QString::number(line) + QStringLiteral(" aufgetreten.");
    else
        question = QStringLiteral("Beim Zerlegen der Zeile wurden nicht die erforderlichen Spaltenanzahl gefunden.")
            + QStringLiteral("\nErforderliche Spaltenanzahl:") + QString::number(code) + QStringLiteral("\nZeile Nr:")
            + QString::number(line);
    return AskYesNo(question + QStringLiteral("\nSoll der Import abgebrochen werden ?"));
}

void TextImport::readCalls(CarrierTextFile& file, TblEGN& tblEGN)
{
    TEGN egn;
    QString line;
    while (file.readLine(line)) {
        const QStringView text = StripLineEnd(QStringView(line));
        int code = 0;
        const TextCallFormat::Verdict verdict = format.classify(text, code);
        if (verdict == TextCallFormat::Verdict::NotACall)
            continue;
        if (verdict != TextCallFormat::Verdict::Call) {
            if (askToStop(verdict, code)) {
                stoppedByUser = true;
                return;
            }
            continue;
        }
        ++count;
        stage = QStringLiteral("extraxt EGN");
        egn.Reset();
        egn.DateiID = dateiId;
        format.fill(egn);
        stage = QStringLiteral("berechne EGN");
        egn.Derive();
        tblEGN.Append(egn, stage);
        if (count % kProgressEvery == 0) {
            SetStatusText(QString::number(count));
            if (RuboUi* ui = RuboUi::current())
                ui->processEvents();
        }
    }
}

ImportResult TextImport::run()
{
    TpWait wait;
    RuboDatabase& db = dm.RuboDB();
    CarrierTextFile file;
    TblEGN tblEGN(db);
    ImportResult result;
    try {
        stage = QStringLiteral("start transaction RuboDB");
        db.startTransaction();
        stage = QStringLiteral("open File");
        file.open(path);
        stage = QStringLiteral("add GeladeneDatei");
        dateiId = dm.GeladeneDateiAdd(path, origin);
        if (dateiId == -1)
            throw RuboError(QStringLiteral("Datei ") + path + QStringLiteral(" wurde bereits geladen."));
        QString header;
        for (int i = 0; i < format.headerLines(); ++i) {
            stage = QStringLiteral("skip HeaderLine");
            file.readLine(header);
        }
        stage = QStringLiteral("open EGN");
        tblEGN.open();
        readCalls(file, tblEGN);
        stage = QStringLiteral("close EGN");
        tblEGN.close();
        stage = QStringLiteral("commit RuboDB");
        db.commit();
    } catch (const RuboError& e) {
        MessageOk(QStringLiteral("Daten können wegen eines Fehlers nicht geladen werden.\n") + e.message()
                  + QStringLiteral("\nZeile:") + QString::number(count) + QStringLiteral("\nInterner Status:") + stage);
        tblEGN.close();
        try {
            db.rollback();
        } catch (const RuboError&) {
            // Nothing more can be undone; the engine has ended the transaction itself.
        }
        // Zones added during this file went with the rollback; the list must not remember them.
        SetZonenrabatteDirty(true);
        file.close();
        return result;
    }
    result.count = count;
    result.complete = !stoppedByUser;
    try {
        stage = QStringLiteral("call GeladeneDateiSetAnzahlEGN");
        dm.GeladeneDateiSetAnzahlEGN(dateiId, count);
    } catch (const RuboError& e) {
        // The calls are committed already; say that only the count could not be stored.
        MessageOk(QStringLiteral("Die Anzahl der geladenen EGN's konnte nicht gespeichert werden.\n") + e.message()
                  + QStringLiteral("\nInterner Status:") + stage);
        result.complete = false;
    }
    file.close();
    return result;
}

void reportEnd(int count)
{
    SetStatusText(QString::number(count) + QStringLiteral(" EGN's wurden geladen"));
    SetStatusPanel(StatusPanel::ImportEnd, QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
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
    const QString extension = extensionOf(path);
    std::unique_ptr<TextCallFormat> format = textFormatFor(extension);
    if (!format) {
        MessageOk(UnsupportedTypeMessage(extension));
        SetStatusText(QString());
        return {};
    }
    TextImport import{dm, path, origin, *format, QString()};
    ImportResult result = import.run();
    result.recognised = true;
    reportEnd(result.count);
    return result;
}
