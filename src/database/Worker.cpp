#include "database/Worker.h"

#include "database/RuboEngine.h"
#include "database/UserInterface.h"

#include <QCoreApplication>
#include <QThread>
#include <sqlite3.h>

#include <memory>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

std::atomic<int> workerSerial{0};

// Asked by the engine every kProgressSteps virtual-machine steps: a job no longer wanted stops
// its statement with SQLITE_INTERRUPT. Unlike sqlite3_interrupt() it cannot hit the next job.
constexpr int kProgressSteps = 1000;

struct Interruption
{
    const std::atomic<quint64>* generation = nullptr;
    quint64 mine = 0;
};

int interruptIfSuperseded(void* context)
{
    const auto* i = static_cast<const Interruption*>(context);
    return i->generation->load() != i->mine ? 1 : 0;
}

// What the core running on a worker shows goes to the interface of the worker's owner thread.
// Messages and status texts do not wait for it; a question does, so the owner must not wait
// for a worker that may ask one.
class ForwardingUi : public RuboUi
{
public:
    explicit ForwardingUi(QObject* owner) : m_owner(owner) {}

    void setStatusPanel(StatusPanel panel, const QString& text) override
    {
        QMetaObject::invokeMethod(m_owner, [panel, text] { RuboUi::current()->setStatusPanel(panel, text); }, Qt::QueuedConnection);
    }
    void clearStatusPanels() override
    {
        QMetaObject::invokeMethod(m_owner, [] { RuboUi::current()->clearStatusPanels(); }, Qt::QueuedConnection);
    }
    void messageOk(const QString& text, MsgKind kind) override
    {
        QMetaObject::invokeMethod(m_owner, [text, kind] { RuboUi::current()->messageOk(text, kind); }, Qt::QueuedConnection);
    }
    bool askYesNo(const QString& text) override
    {
        bool yes = false;
        QMetaObject::invokeMethod(m_owner, [text, &yes] { yes = RuboUi::current()->askYesNo(text); },
                                  Qt::BlockingQueuedConnection);
        return yes;
    }
    void processEvents() override {}
    void setWaitCursor(bool) override {}

private:
    QObject* m_owner;
};

} // namespace

bool RuboJob::wanted() const
{
    return m_worker.current(m_generation);
}

void RuboJob::deliver(std::function<void()> result) const
{
    if (wanted())
        m_worker.post(m_generation, std::move(result));
}

RuboWorker::RuboWorker(QString databaseFile, QObject* parent)
    : QObject(parent), m_file(std::move(databaseFile)), m_thread([this] { loop(); })
{
}

RuboWorker::~RuboWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        ++m_generation;
        m_tasks.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void RuboWorker::run(Work work, Failure failed)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const quint64 generation = ++m_generation;
        m_unfinished -= int(m_tasks.size());
        m_tasks.clear();
        m_tasks.push_back({generation, std::move(work), std::move(failed)});
        ++m_unfinished;
    }
    m_wake.notify_one();
}

void RuboWorker::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_generation;
    m_unfinished -= int(m_tasks.size());
    m_tasks.clear();
}

void RuboWorker::waitUntilIdle()
{
    while (isBusy()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(1);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void RuboWorker::post(quint64 generation, std::function<void()> result)
{
    ++m_unfinished;
    QMetaObject::invokeMethod(
        this,
        [this, generation, result = std::move(result)] {
            if (current(generation) && result)
                result();
            --m_unfinished;
        },
        Qt::QueuedConnection);
}

void RuboWorker::loop()
{
#ifdef Q_OS_LINUX
    // On a machine with few cores the window's thread comes first; a nice value of its own for
    // this thread is what Linux offers (QThread's priorities do nothing under its normal policy).
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 5);
#endif
    ForwardingUi ui(this);
    RuboUi::installForThisThread(&ui);
    std::unique_ptr<RuboDatabase> db;
    Interruption interruption{&m_generation, 0};
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_stopping)
                break;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        interruption.mine = task.generation;
        QString error;
        try {
            if (!db) {
                auto opened = std::make_unique<RuboDatabase>(QStringLiteral("worker-%1").arg(++workerSerial));
                opened->connect(m_file, false);
                sqlite3_progress_handler(opened->handle(), kProgressSteps, interruptIfSuperseded, &interruption);
                db = std::move(opened);
            }
            RuboJob job(*this, *db, task.generation);
            task.work(job);
        } catch (const RuboError& e) {
            error = e.message();
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        // The end is posted like a result, so that it reaches the owner after every result.
        const bool failed = !error.isEmpty();
        post(task.generation, [this, failed, error, report = std::move(task.failed)] {
            if (failed && report)
                report(error);
            Q_EMIT finished();
        });
        --m_unfinished;
    }
    // The connection belongs to this thread; it is closed here, before the thread ends.
    db.reset();
    RuboUi::installForThisThread(nullptr);
}
