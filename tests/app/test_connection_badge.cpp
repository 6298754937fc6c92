#include "UiFixture.h"
#include "app/ConnectionBadge.h"
#include "app/Style.h"

Q_DECLARE_METATYPE(ConnectionState)

class ConnectionBadgeTest : public QObject {
    Q_OBJECT

private slots:
    void appearanceFollowsState_data()
    {
        QTest::addColumn<ConnectionState>("state");
        QTest::addColumn<bool>("responding");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("color");
        const QColor grey = Style::secondaryText(nullptr);
        QTest::newRow("disconnected")
            << ConnectionState::disconnected() << false << "Getrennt" << grey;
        QTest::newRow("connecting")
            << ConnectionState::connecting() << false << "Verbinde \u2026" << Style::yellow();
        QTest::newRow("connected, answering")
            << ConnectionState::connected() << true << "Display antwortet" << Style::green();
        QTest::newRow("connected, silent") << ConnectionState::connected() << false
                                           << "Port offen \u2013 keine Antwort" << Style::orange();
        QTest::newRow("waiting") << ConnectionState::waiting() << false
                                 << "Warte auf Wandler \u2026" << Style::orange();
        QTest::newRow("failed") << ConnectionState::failed("Port belegt") << false << "Fehler"
                                << Style::red();
        // Responding only matters while connected.
        QTest::newRow("disconnected, stale responding flag")
            << ConnectionState::disconnected() << true << "Getrennt" << grey;
    }
    void appearanceFollowsState()
    {
        QFETCH(ConnectionState, state);
        QFETCH(bool, responding);
        QFETCH(QString, text);
        QFETCH(QColor, color);
        const auto appearance = ConnectionBadge::appearance(state, responding, nullptr);
        QCOMPARE(appearance.text, text);
        QCOMPARE(appearance.color, color);
    }

    void badgeFollowsTheLine()
    {
        UiFixture f;
        ConnectionBadge badge(*f.controller);
        QVERIFY(f.connectTo(SerialPortInfo::smartSimulatorPath));
        QTRY_COMPARE_WITH_TIMEOUT(badge.text(), QStringLiteral("Display antwortet"), waitMs);
        // The pill grows with its text instead of cutting it.
        QVERIFY(badge.sizeHint().width() > badge.fontMetrics().horizontalAdvance(badge.text()));
        f.controller->setSelectedPath(QStringLiteral("/dev/bildwart-test-missing"));
        f.controller->connectLine();
        QTRY_COMPARE_WITH_TIMEOUT(badge.text(), QStringLiteral("Fehler"), waitMs);
        // The reason is one hover away.
        QCOMPARE(badge.toolTip(), f.controller->connection().reason);
        QVERIFY(!badge.toolTip().isEmpty());
    }
};

QTEST_MAIN(ConnectionBadgeTest)
#include "test_connection_badge.moc"
