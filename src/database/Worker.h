#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class RuboDatabase;
class RuboWorker;

// What a job sees of its worker: the connection, whether it is still wanted, and a way to hand
// results to the thread that started it.
class RuboJob
{
public:
    RuboDatabase& db() const { return m_db; }
    // False once a newer job or cancel() has taken over; the engine is interrupted then as well.
    bool wanted() const;
    // Runs `result` on the worker's owner thread, in the order posted, unless the job is no
    // longer wanted by the time it gets there.
    void deliver(std::function<void()> result) const;

private:
    friend class RuboWorker;
    RuboJob(RuboWorker& worker, RuboDatabase& db, quint64 generation)
        : m_worker(worker), m_db(db), m_generation(generation)
    {
    }
    RuboWorker& m_worker;
    RuboDatabase& m_db;
    quint64 m_generation;
};

// Long reads run here, on a thread and a connection of their own, so that the window keeps
// answering. One job at a time: starting a new one cancels the one running or waiting, and only
// the newest job's results are delivered. The connection is opened on the first job and reads
// the file as it stands when each statement starts.
class RuboWorker : public QObject
{
    Q_OBJECT
public:
    explicit RuboWorker(QString databaseFile, QObject* parent = nullptr);
    ~RuboWorker() override;   // cancels, then waits for the thread: nothing is left half-read

    using Work = std::function<void(RuboJob& job)>;
    using Failure = std::function<void(const QString& message)>;

    // `work` runs on the worker. A RuboError it throws reaches `failed` on this object's thread,
    // unless the job was cancelled; a cancelled job delivers nothing at all.
    void run(Work work, Failure failed = {});
    void cancel();
    // A job waiting, running, or with results not yet delivered.
    bool isBusy() const { return m_unfinished.load() > 0; }
    // Processes this thread's events until the worker is idle: for closing, tests and benchmarks.
    void waitUntilIdle();

Q_SIGNALS:
    // Emitted on this object's thread after the last result of a wanted job has been delivered,
    // or after its failure has been reported.
    void finished();

private:
    friend class RuboJob;
    struct Task
    {
        quint64 generation;
        Work work;
        Failure failed;
    };
    void loop();
    void post(quint64 generation, std::function<void()> result);
    bool current(quint64 generation) const { return m_generation.load() == generation; }

    const QString m_file;
    std::atomic<quint64> m_generation{0};
    std::atomic<int> m_unfinished{0};   // tasks queued or running plus results in the event queue
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_stopping = false;
    std::thread m_thread;
};
