#pragma once

#include "history/LogEvent.h"
#include "history/PrivateFile.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <optional>

// The history: records in memory (oldest first, at most 8000), mirrored to a JSON-lines file
// and to the system log. Records are appended to the file one line at a time; the file is
// rewritten (atomically) only when records are removed. All file writes run on one private
// writer thread, in submission order; no file I/O happens on the caller's thread after load.
//
// The file must be a regular file of the user in a folder of the user: anything else (a link,
// a device, someone else's file) is never written and the history lives in memory only. A file
// that exists but cannot be read is never rewritten, only appended to. Each such state, and a
// clock that postpones a prune, is said once in the system log.
class EventLog : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype maxEvents = 8000;

    // Receives the system-log line of each record ("[Vigilmount] kind: detail"), on the writer
    // thread, in record order, right after the record's file append (a log daemon that does not
    // read can delay the log, never the file).
    using LineSink = std::function<void(const QString &line)>;

    // The default history folder ($XDG_DATA_HOME/Vigilmount).
    static QString defaultDirectory();

    // A store whose file is "events.jsonl" in the given folder; loads it synchronously.
    explicit EventLog(const QString &directory, LineSink systemLog = {}, QObject *parent = nullptr);
    // Waits until every queued write has reached the file.
    ~EventLog() override;

    const QList<LogEvent> &events() const { return m_events; }

    // The detail is capped at LogEvent::maxDetailLength (see LogEvent::make).
    void record(LogEvent::Kind kind, const QString &detail = {});
    // Removes records older than the retention. Its "now" is never later than the newest
    // record's date plus the retention: with a clock further ahead the prune is postponed
    // (nothing is removed) and that is said once in the system log.
    void prune(qint64 olderThanDays);
    void clear();
    QList<LogEvent> eventsSince(Instant since) const;
    std::optional<LogEvent> lastEvent(LogEvent::Kind kind) const;
    // Tab-separated; a tab, carriage return or line feed inside a field becomes a blank.
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
    // The same from an open file; none when reading failed part-way (an I/O error).
    static std::optional<QList<LogEvent>> readRecords(QIODevice &file);

Q_SIGNALS:
    // The list changed (once per assignment, as with any observable property).
    void eventsChanged();
    void lastWriteErrorChanged();

private:
    // How far the program may write the file it found at start-up.
    enum class FileAccess { full, appendOnly, none };

    void openHistory(const QString &directory);
    // The clock, unless it is more than the retention past the newest record: a clock that far
    // ahead (a bad real-time clock, a machine before its time sync) would erase everything.
    std::optional<Instant> plausibleNow(qint64 olderThanDays);
    void appendLine(const LogEvent &event);
    void rewriteFile();
    // Called on the writer thread; hands the result to the main thread.
    void reportWrite(bool ok);
    // Sends a line to the system log (on the writer thread), once per distinct text.
    void reportOnce(const QString &text);

    QList<LogEvent> m_events;
    QString m_filePath;
    LineSink m_systemLog;
    FileAccess m_access = FileAccess::full;
    QSet<QString> m_reported;
    std::optional<QString> m_lastWriteError;
    QThreadPool m_writer;
};
