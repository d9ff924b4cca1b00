#pragma once

#include "history/LogEvent.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <optional>

// The history: records in memory (oldest first, at most 8000), mirrored to a JSON-lines file
// and to the system log. Records are appended to the file one line at a time; the file is
// rewritten (atomically) only when records are removed. All file writes run on one private
// writer thread, in submission order; no file I/O happens on the caller's thread after load.
class EventLog : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype maxEvents = 8000;

    // Receives the system-log line of each record ("[Vigilmount] kind: detail"), on the writer
    // thread, in record order, right before the record's file append.
    using LineSink = std::function<void(const QString &line)>;

    // The default history folder ($XDG_DATA_HOME/Vigilmount).
    static QString defaultDirectory();

    // A store whose file is "events.jsonl" in the given folder; loads it synchronously.
    explicit EventLog(const QString &directory, LineSink systemLog = {}, QObject *parent = nullptr);
    // Waits until every queued write has reached the file.
    ~EventLog() override;

    const QList<LogEvent> &events() const { return m_events; }

    void record(LogEvent::Kind kind, const QString &detail = {});
    void prune(qint64 olderThanDays);
    void clear();
    QList<LogEvent> eventsSince(Instant since) const;
    std::optional<LogEvent> lastEvent(LogEvent::Kind kind) const;
    QString exportTSV(const std::optional<QList<LogEvent>> &records = std::nullopt) const;
    QString fileURL() const { return m_filePath; }
    // Why the last file write failed (none once a later write succeeded).
    std::optional<QString> lastWriteError() const { return m_lastWriteError; }

    // Blocks until every write queued so far has finished (used at exit and by tests).
    void flush();

    // "[Vigilmount] kind" or "[Vigilmount] kind: detail".
    static QString systemLogLine(LogEvent::Kind kind, const QString &detail);

    // Reads a history file: undecodable, non-UTF-8 and over-long lines are skipped, and only
    // the newest maxEvents records are kept (in file order).
    static QList<LogEvent> loadFile(const QString &path);

Q_SIGNALS:
    // The list changed (once per assignment, as with any observable property).
    void eventsChanged();
    void lastWriteErrorChanged();

private:
    void appendLine(const LogEvent &event);
    void rewriteFile();
    // Called on the writer thread; hands the result to the main thread.
    void reportWrite(bool ok);

    QList<LogEvent> m_events;
    QString m_filePath;
    LineSink m_systemLog;
    std::optional<QString> m_lastWriteError;
    QThreadPool m_writer;
};

// Writes text to a file atomically (temporary file, then rename), user-only permissions.
// Returns false when it could not be written; the previous file then stays as it was.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);
