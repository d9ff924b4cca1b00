// Feeds arbitrary bytes to the one-line decoder and, as a whole file, to the loader. Both must
// survive anything; a decoded record must encode back to a line that decodes to the same record.
#include "history/EventLog.h"

#include <QBuffer>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    if (const auto event = LogEvent::fromJson(input)) {
        const QByteArray again = event->toJson();
        const auto decoded = LogEvent::fromJson({again.constData(), size_t(again.size())});
        if (!decoded || decoded->id != event->id || decoded->kind != event->kind ||
            decoded->detail != event->detail || again.contains('\n'))
            std::abort();
    }

    // The loader reads from memory: the same code as from a file, without a file per input.
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const auto records = EventLog::readRecords(buffer);
    if (!records || records->size() > EventLog::maxEvents)
        std::abort();
    return 0;
}
