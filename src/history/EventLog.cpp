#include "history/EventLog.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <unistd.h>
#include <vector>

namespace {

constexpr qsizetype longestLine = 1024 * 1024; // the program never writes a line this long
constexpr qint64 readChunk = 64 * 1024;

QByteArray encodeAll(const QList<LogEvent> &events)
{
    QByteArray buffer;
    buffer.reserve(events.size() * 160);
    for (const LogEvent &event : events) {
        event.appendJson(buffer);
        buffer.append('\n');
    }
    return buffer;
}

// Tabs and line breaks inside a field would split its column or its row.
void appendField(QString &text, const QString &field)
{
    const qsizetype start = text.size();
    text.append(field);
    for (qsizetype i = start; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\t' || c == u'\r' || c == u'\n')
            text[i] = u' ';
    }
}

} // namespace

QString EventLog::defaultDirectory()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Vigilmount");
}

EventLog::EventLog(const QString &directory, LineSink systemLog, QObject *parent)
    : QObject(parent), m_filePath(directory + QStringLiteral("/events.jsonl")),
      m_systemLog(std::move(systemLog))
{
    m_writer.setMaxThreadCount(1);
    openHistory(directory);
}

void EventLog::openHistory(const QString &directory)
{
    if (!PrivateFile::ensureOwnFolder(directory)) {
        m_access = FileAccess::none;
        reportOnce(QStringLiteral("The history folder %1 couldn't be created or isn't a folder "
                                  "of yours; the history is kept in memory only.")
                       .arg(directory));
        return;
    }
    // Never through a link, and never blocking on a pipe or a device.
    const int fd = ::open(QFile::encodeName(m_filePath).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return;
    QFile file;
    if (fd >= 0 && !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        ::close(fd);
    const bool own = file.isOpen() ? PrivateFile::isOwnRegularFile(int(file.handle()))
                                   : PrivateFile::isOwnRegularFile(m_filePath);
    if (!own) {
        m_access = FileAccess::none;
        reportOnce(QStringLiteral("The history file %1 isn't a regular file of yours; it is left "
                                  "alone and the history is kept in memory only.")
                       .arg(m_filePath));
        return;
    }
    std::optional<QList<LogEvent>> records;
    if (file.isOpen())
        records = readRecords(file);
    if (!records) {
        m_access = FileAccess::appendOnly;
        reportOnce(QStringLiteral("The history file %1 couldn't be read; it is kept as it is and "
                                  "new records are only added to its end.")
                       .arg(m_filePath));
        return;
    }
    m_events = std::move(*records);
}

EventLog::~EventLog()
{
    flush();
}

QList<LogEvent> EventLog::loadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return readRecords(file).value_or(QList<LogEvent>());
}

std::optional<QList<LogEvent>> EventLog::readRecords(QIODevice &file)
{
    // Memory stays bounded by the kept records, one chunk and one (bounded) line: the newest
    // records live in a ring that overwrites the oldest once it is full.
    std::vector<LogEvent> ring;
    size_t oldest = 0;
    const auto keep = [&](std::optional<LogEvent> event) {
        if (!event)
            return;
        if (qsizetype(ring.size()) < maxEvents) {
            ring.push_back(std::move(*event));
        } else {
            ring[oldest] = std::move(*event);
            oldest = (oldest + 1) % ring.size();
        }
    };

    std::string pending;       // a line that continues in the next chunk, then padding
    bool skippingLine = false; // inside a line already known to be too long
    const auto takePending = [&] {
        if (!pending.empty()) {
            const size_t size = pending.size();
            pending.resize(size + LogEvent::paddingBytes);
            keep(LogEvent::fromPaddedJson(pending.data(), size));
        }
        pending.clear();
    };

    std::string chunk(readChunk + LogEvent::paddingBytes, '\0');
    qint64 got;
    while ((got = file.read(chunk.data(), readChunk)) > 0) {
        std::string_view rest(chunk.data(), size_t(got));
        while (!rest.empty()) {
            const size_t feed = rest.find('\n');
            const std::string_view piece = rest.substr(0, feed);
            if (skippingLine) {
                // drop until the end of the over-long line
            } else if (pending.size() + piece.size() > size_t(longestLine)) {
                pending.clear();
                skippingLine = true;
            } else if (feed != std::string_view::npos && pending.empty()) {
                if (!piece.empty()) // the chunk has its own padding after the data read
                    keep(LogEvent::fromPaddedJson(piece.data(), piece.size()));
            } else {
                pending.append(piece);
                if (feed != std::string_view::npos)
                    takePending();
            }
            if (feed == std::string_view::npos)
                break;
            skippingLine = false;
            rest.remove_prefix(feed + 1);
        }
    }
    if (got < 0)
        return std::nullopt;
    if (!skippingLine)
        takePending();
    std::rotate(ring.begin(), ring.begin() + qsizetype(oldest), ring.end());
    return QList<LogEvent>(std::make_move_iterator(ring.begin()),
                           std::make_move_iterator(ring.end()));
}

QString EventLog::systemLogLine(LogEvent::Kind kind, const QString &detail)
{
    QString line = QStringLiteral("[Vigilmount] ") + LogEvent::rawValue(kind);
    if (!detail.isEmpty())
        line += QStringLiteral(": ") + detail;
    return line;
}

void EventLog::record(LogEvent::Kind kind, const QString &detail)
{
    const LogEvent event = LogEvent::make(kind, detail);
    m_events.append(event);
    Q_EMIT eventsChanged();
    if (m_events.size() > maxEvents) {
        m_events.remove(0, m_events.size() - maxEvents);
        Q_EMIT eventsChanged();
    }
    appendLine(event);
}

void EventLog::appendLine(const LogEvent &event)
{
    // The file and the system log are both written on the writer thread, in record order; the
    // file first, so a log daemon that does not read never holds a record back.
    const bool toFile = m_access != FileAccess::none;
    const QByteArray line = toFile ? event.toJson() + '\n' : QByteArray();
    m_writer.start(
        [this, toFile, path = m_filePath, line, logLine = systemLogLine(event.kind, event.detail)] {
            if (toFile)
                reportWrite(PrivateFile::appendLine(path, line));
            if (m_systemLog)
                m_systemLog(logLine);
        });
}

void EventLog::rewriteFile()
{
    // A file that could not be read (or is not ours) is never replaced by what memory holds.
    if (m_access != FileAccess::full)
        return;
    m_writer.start([this, path = m_filePath, snapshot = m_events] {
        reportWrite(writeFileAtomically(path, encodeAll(snapshot)));
    });
}

void EventLog::reportOnce(const QString &text)
{
    if (m_reported.contains(text))
        return;
    m_reported.insert(text);
    if (m_systemLog)
        m_writer.start(
            [this, line = QStringLiteral("[Vigilmount] ") + text] { m_systemLog(line); });
}

void EventLog::reportWrite(bool ok)
{
    // The writer never touches model state: the outcome is queued to the main thread (and
    // dropped with the log if it is already going away; the destructor waits for the writer).
    std::optional<QString> error;
    if (!ok)
        error = QStringLiteral("The history file %1 couldn't be written.").arg(m_filePath);
    QMetaObject::invokeMethod(
        this,
        [this, error] {
            if (m_lastWriteError == error)
                return;
            m_lastWriteError = error;
            Q_EMIT lastWriteErrorChanged();
        },
        Qt::QueuedConnection);
}

void EventLog::prune(qint64 olderThanDays)
{
    // Plain arithmetic on seconds, saturated so that an absurd retention keeps everything.
    constexpr qint64 maxDays = std::numeric_limits<qint64>::max() / 86'400'000 / 2;
    Instant cutoff = Instant::min();
    if (olderThanDays <= -maxDays) {
        cutoff = Instant::max();
    } else if (olderThanDays < maxDays) {
        const std::optional<Instant> now = plausibleNow(olderThanDays);
        if (!now)
            return;
        cutoff = Clock::secondsAgo(*now, olderThanDays * 86'400);
    }
    m_events.removeIf([cutoff](const LogEvent &event) { return event.date < cutoff; });
    Q_EMIT eventsChanged();
    rewriteFile();
}

std::optional<Instant> EventLog::plausibleNow(qint64 olderThanDays)
{
    const Instant now = Clock::now();
    if (m_events.isEmpty() || olderThanDays <= 0)
        return now;
    const auto newest =
        std::max_element(m_events.cbegin(), m_events.cend(),
                         [](const LogEvent &a, const LogEvent &b) { return a.date < b.date; });
    if (now <= newest->date + std::chrono::seconds(olderThanDays * 86'400))
        return now;
    reportOnce(QStringLiteral("The clock is more than %1 days ahead of the newest history "
                              "record; deleting old records waits until the clock is plausible.")
                   .arg(olderThanDays));
    return std::nullopt;
}

void EventLog::clear()
{
    m_events.clear();
    Q_EMIT eventsChanged();
    rewriteFile();
}

QList<LogEvent> EventLog::eventsSince(Instant since) const
{
    QList<LogEvent> result;
    std::copy_if(m_events.cbegin(), m_events.cend(), std::back_inserter(result),
                 [since](const LogEvent &event) { return event.date >= since; });
    return result;
}

std::optional<LogEvent> EventLog::lastEvent(LogEvent::Kind kind) const
{
    const auto found = std::find_if(m_events.crbegin(), m_events.crend(),
                                    [kind](const LogEvent &event) { return event.kind == kind; });
    if (found == m_events.crend())
        return std::nullopt;
    return *found;
}

QString EventLog::exportTSV(const std::optional<QList<LogEvent>> &records) const
{
    const QList<LogEvent> &list = records ? *records : m_events;
    QString text = QStringLiteral("timestamp\tevent\tdetail");
    text.reserve(text.size() + list.size() * 96);
    for (const LogEvent &event : list) {
        text.append(QLatin1Char('\n'));
        LogEvent::appendDate(text, event.date);
        text.append(QLatin1Char('\t'));
        text.append(LogEvent::rawValueView(event.kind));
        text.append(QLatin1Char('\t'));
        appendField(text, event.detail);
    }
    return text;
}

void EventLog::flush()
{
    m_writer.waitForDone();
}
