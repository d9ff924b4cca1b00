#include "history/EventLog.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr QFileDevice::Permissions userOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr qsizetype longestLine = 1024 * 1024; // the program never writes a line this long
constexpr qint64 readChunk = 64 * 1024;

// Appends one encoded line. A file that does not end in a line feed (an append torn by a
// crash or a full disk) gets one first, so the torn line cannot swallow this record.
bool appendToFile(const QString &path, const QByteArray &line)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return !QFile::exists(path) && writeFileAtomically(path, line);
    const qint64 size = file.size();
    QByteArray bytes = line;
    if (size > 0) {
        char last = '\n';
        if (file.seek(size - 1) && file.read(&last, 1) == 1 && last != '\n')
            bytes.prepend('\n');
    }
    return file.seek(size) && file.write(bytes) == bytes.size();
}

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

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    QFile::setPermissions(path, userOnlyFile);
    return true;
}

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
    // A folder that cannot be created leaves a history that lives in memory only.
    if (QDir().mkpath(directory))
        QFile::setPermissions(directory, userOnlyFile | QFile::ExeOwner);
    m_writer.setMaxThreadCount(1);
    m_events = loadFile(m_filePath);
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
    // The system log and the file are both written on the writer thread, in record order.
    const QByteArray line = event.toJson() + '\n';
    m_writer.start(
        [this, path = m_filePath, line, logLine = systemLogLine(event.kind, event.detail)] {
            if (m_systemLog)
                m_systemLog(logLine);
            reportWrite(appendToFile(path, line));
        });
}

void EventLog::rewriteFile()
{
    m_writer.start([this, path = m_filePath, snapshot = m_events] {
        reportWrite(writeFileAtomically(path, encodeAll(snapshot)));
    });
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
    const Instant now = Clock::now();
    const Instant cutoff = olderThanDays >= maxDays ? Instant::min()
                           : olderThanDays <= -maxDays
                               ? Instant::max()
                               : Clock::secondsAgo(now, olderThanDays * 86'400);
    m_events.removeIf([cutoff](const LogEvent &event) { return event.date < cutoff; });
    Q_EMIT eventsChanged();
    rewriteFile();
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
        text.append(event.detail);
    }
    return text;
}

void EventLog::flush()
{
    m_writer.waitForDone();
}
