#include "history/LogEvent.h"
#include "history/EventLog.h"

#include <QTest>

using Kind = LogEvent::Kind;

namespace {
std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

LogEvent at(const char *isoDate, Kind kind, const QString &detail)
{
    const QDateTime date = QDateTime::fromString(QString::fromLatin1(isoDate), Qt::ISODateWithMs);
    return LogEvent{QUuid::createUuid(), Clock::fromDateTime(date), kind, detail};
}
} // namespace

class LogEventTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyKindRoundTripsAndBelongsToAtMostOneClass()
    {
        for (int i = 0; i < LogEvent::kindCount; ++i) {
            const auto kind = Kind(i);
            QCOMPARE(LogEvent::kindFromRaw(LogEvent::rawValue(kind).toStdString()), kind);
            const int classes =
                LogEvent::isOutage(kind) + LogEvent::isRepair(kind) + LogEvent::isFailure(kind);
            QVERIFY2(classes <= 1, qPrintable(LogEvent::rawValue(kind)));
            QCOMPARE(LogEvent::isIncident(kind), classes == 1);
        }
    }

    void hostileDetailsRoundTripOnOneLine_data()
    {
        QTest::addColumn<QString>("detail");
        QTest::newRow("empty") << QString();
        QTest::newRow("tab and line feed") << QStringLiteral("a\tb\nc\r\n");
        QTest::newRow("quotes and backslash") << QStringLiteral("say \"hi\" \\ there");
        QTest::newRow("non-ASCII") << QStringLiteral("Médiathèque — 日本 🎬");
        QTest::newRow("control characters") << QString::fromUtf8("\x01\x1f\x7f");
        QTest::newRow("format directives") << QStringLiteral("%s %n %%");
    }
    void hostileDetailsRoundTripOnOneLine()
    {
        QFETCH(QString, detail);
        const LogEvent event = at("2025-03-01T08:15:00Z", Kind::plexDown, detail);
        const QByteArray json = event.toJson();
        QVERIFY(!json.contains('\n'));
        const auto decoded = LogEvent::fromJson(view(json));
        QVERIFY(decoded);
        QCOMPARE(*decoded, event);
    }

    void encodesTheExactForm()
    {
        LogEvent event = at("2025-03-01T08:15:00.750Z", Kind::plexDown, QStringLiteral("x"));
        event.id = QUuid::fromString(QStringLiteral("0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"));
        QCOMPARE(event.toJson(),
                 QByteArray(R"({"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":)"
                            R"("2025-03-01T08:15:00Z","kind":"plexDown","detail":"x"})"));
        // The fraction is lost on the way out, so the copy is not equal to the original.
        const auto decoded = LogEvent::fromJson(view(event.toJson()));
        QVERIFY(decoded);
        QVERIFY(!(*decoded == event));
        QCOMPARE(Clock::toDateTime(decoded->date).time().msec(), 0);
        // A zone offset names the same instant.
        const QByteArray offset = event.toJson().replace("08:15:00Z", "09:15:00+01:00");
        QVERIFY(LogEvent::fromJson(view(offset)) == decoded);
    }

    void decodingRules_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("accepted");
        const QByteArray id = R"("id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0")";
        const QByteArray date = R"("date":"2025-03-01T08:15:00Z")";
        const QByteArray kind = R"("kind":"wake")";
        const QByteArray detail = R"("detail":"")";
        const auto obj = [](std::initializer_list<QByteArray> members) {
            QByteArrayList list(members);
            return "{" + list.join(',') + "}";
        };
        QTest::newRow("complete") << obj({id, date, kind, detail}) << true;
        QTest::newRow("other key order") << obj({detail, kind, date, id}) << true;
        QTest::newRow("extra members")
            << obj({id, date, R"("x":[1,{"y":null}])", kind, detail}) << true;
        QTest::newRow("lower-case id")
            << obj({R"("id":"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0")", date, kind, detail}) << true;
        QTest::newRow("zone offset")
            << obj({id, R"("date":"2025-03-01T09:15:00+01:00")", kind, detail}) << true;
        QTest::newRow("missing detail") << obj({id, date, kind}) << false;
        QTest::newRow("missing id") << obj({date, kind, detail}) << false;
        QTest::newRow("detail is a number") << obj({id, date, kind, R"("detail":3)"}) << false;
        QTest::newRow("detail is null") << obj({id, date, kind, R"("detail":null)"}) << false;
        QTest::newRow("unknown kind") << obj({id, date, R"("kind":"reboot")", detail}) << false;
        QTest::newRow("kind in other case") << obj({id, date, R"("kind":"Wake")", detail}) << false;
        QTest::newRow("fractional seconds")
            << obj({id, R"("date":"2025-03-01T08:15:00.5Z")", kind, detail}) << false;
        QTest::newRow("no zone") << obj({id, R"("date":"2025-03-01T08:15:00")", kind, detail})
                                 << false;
        QTest::newRow("impossible day")
            << obj({id, R"("date":"2025-02-30T08:15:00Z")", kind, detail}) << false;
        QTest::newRow("date as number") << obj({id, R"("date":760000000)", kind, detail}) << false;
        QTest::newRow("braced id")
            << obj({R"("id":"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}")", date, kind, detail})
            << false;
        QTest::newRow("non-hexadecimal id")
            << obj({R"("id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1FG")", date, kind, detail}) << false;
        QTest::newRow("short id") << obj({R"("id":"0F1E2D3C")", date, kind, detail}) << false;
        QTest::newRow("array") << QByteArray("[1,2]") << false;
        QTest::newRow("trailing garbage") << obj({id, date, kind, detail}) + " x" << false;
        QTest::newRow("truncated") << obj({id, date, kind, detail}).chopped(3) << false;
        QTest::newRow("broken ignored member")
            << obj({id, date, R"("x":tru)", kind, detail}) << false;
        QTest::newRow("invalid UTF-8") << obj({id, date, kind, "\"detail\":\"\xff\xfe\""}) << false;
    }
    void decodingRules()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, accepted);
        QCOMPARE(LogEvent::fromJson(view(json)).has_value(), accepted);
    }

    void exportTextIsExact()
    {
        EventLog log(QString::fromLocal8Bit(qgetenv("VIGILMOUNT_TEST_ROOT")) + "/export");
        QCOMPARE(log.exportTSV(QList<LogEvent>{}), QStringLiteral("timestamp\tevent\tdetail"));
        const QList<LogEvent> two = {
            at("2025-03-01T08:15:00.999Z", Kind::plexDown, QStringLiteral("a\tb")),
            at("2025-03-02T10:00:00Z", Kind::volumeOK, QString()),
        };
        QCOMPARE(log.exportTSV(two), QStringLiteral("timestamp\tevent\tdetail\n"
                                                    "2025-03-01T08:15:00Z\tplexDown\ta b\n"
                                                    "2025-03-02T10:00:00Z\tvolumeOK\t"));
    }
};

QTEST_GUILESS_MAIN(LogEventTest)
#include "LogEventTest.moc"
