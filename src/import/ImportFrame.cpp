#include "import/ImportFrame.h"

#include "database/Egn.h"
#include "database/Messages.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"
#include "import/CallSource.h"

#include <exception>

namespace {

constexpr int kProgressEvery = 100;

// The state of one file's import; `stage` always names the stage reached last.
class ImportFrame
{
public:
    ImportFrame(TdmMain& dm, CallSource& source, const QString& path, const QString& origin)
        : m_dm(dm), m_source(source), m_path(path), m_origin(origin)
    {
    }

    ImportResult run();

private:
    void readAndStore(TblEGN& tblEGN);
    void fail(const QString& error);

    TdmMain& m_dm;
    CallSource& m_source;
    const QString& m_path;
    const QString& m_origin;
    QString m_stage;
    int m_count = 0;
    int m_dateiId = 0;
    bool m_stoppedByUser = false;
};

void ImportFrame::readAndStore(TblEGN& tblEGN)
{
    TEGN egn;
    ReferenceLists& lists = m_dm.referenceLists();
    for (;;) {
        const CallSource::Step step = m_source.next(m_count, m_stage);
        if (step == CallSource::Step::End)
            return;
        if (step == CallSource::Step::StoppedByUser) {
            m_stoppedByUser = true;
            return;
        }
        ++m_count;
        m_stage = QStringLiteral("extraxt EGN");
        egn.Reset();
        egn.DateiID = m_dateiId;
        m_source.fill(egn);
        m_stage = QStringLiteral("berechne EGN");
        egn.Derive(lists);
        tblEGN.Append(egn, m_stage);
        if (m_count % kProgressEvery == 0) {
            SetStatusText(QString::number(m_count));
            RuboUi::current()->processEvents();
        }
    }
}

ImportResult ImportFrame::run()
{
    TpWait wait;
    RuboDatabase& db = m_dm.RuboDB();
    try {
        m_stage = QStringLiteral("start transaction RuboDB");
        RuboTransaction transaction(db);
        // Declared after the guard: on a failure the table closes before the rollback runs.
        TblEGN tblEGN(db);
        m_source.openFile(m_stage);
        m_stage = QStringLiteral("add GeladeneDatei");
        m_dateiId = m_dm.GeladeneDateiAdd(m_path, m_origin);
        if (m_dateiId == -1)
            throw RuboError(QStringLiteral("Datei ") + m_path + QStringLiteral(" wurde bereits geladen."));
        m_source.prepare(m_stage);
        m_stage = QStringLiteral("check Kostenstellen");
        m_dm.referenceLists().CheckKostenstellenFitCalls();
        m_stage = QStringLiteral("open EGN");
        tblEGN.open();
        readAndStore(tblEGN);
        m_source.finish(m_stage);
        m_stage = QStringLiteral("close EGN");
        tblEGN.close();
        // Stored before the commit: calls committed with a count of 0 could never be loaded again.
        m_stage = QStringLiteral("call GeladeneDateiSetAnzahlEGN");
        m_dm.GeladeneDateiSetAnzahlEGN(m_dateiId, m_count);
        m_stage = QStringLiteral("commit RuboDB");
        transaction.commit();
    } catch (const RuboError& e) {
        fail(e.message());
        return {};
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()));
        return {};
    } catch (...) {
        fail(QStringLiteral("Unbekannter Fehler."));
        return {};
    }
    m_source.close();
    ImportResult result;
    result.count = m_count;
    result.complete = !m_stoppedByUser;
    result.skipped = m_source.skippedLines();
    result.declared = m_source.declaredCount();
    result.lastCallUnended = m_source.lastCallUnended();
    return result;
}

// Runs after the transaction guard has rolled the file back, so no lock is held while the
// message is shown.
void ImportFrame::fail(const QString& error)
{
    m_source.close();
    // Zones added during this file went with the rollback; the list must not remember them.
    m_dm.referenceLists().SetZonenrabatteDirty(true);
    MessageOk(QStringLiteral("Daten können wegen eines Fehlers nicht geladen werden.\n") + error
              + m_source.failurePlace(m_count, m_stage));
}

} // namespace

ImportResult ImportCalls(TdmMain& dm, CallSource& source, const QString& path, const QString& origin)
{
    return ImportFrame(dm, source, path, origin).run();
}
