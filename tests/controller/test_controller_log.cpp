#include "ControllerFixture.h"

#include <QSignalSpy>
#include <QTest>

using Kind = LogEntry::Kind;

class ControllerLogTest : public QObject {
    Q_OBJECT

private slots:
    void appendAnnouncesIncrementally()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QSignalSpy appended(controller.get(), &DisplayController::logAppended);
        QSignalSpy removed(controller.get(), &DisplayController::logRemovedFromFront);

        for (int i = 0; i < LogBuffer::capacity; ++i)
            controller->appendLog(Kind::info, QString::number(i));
        QCOMPARE(appended.size(), LogBuffer::capacity);
        QCOMPARE(removed.size(), 0);

        controller->appendLog(Kind::error, "neu");
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().first().toInt(), 1);
        QCOMPARE(controller->log().size(), LogBuffer::capacity);
        QCOMPARE(controller->log().at(0).text, QStringLiteral("1"));
        QCOMPARE(controller->log().last().kind, Kind::error);
    }

    void entriesGetFreshIdsAndTheClocksTime()
    {
        TemporaryStore store;
        auto clock = std::make_shared<TestClock>();
        auto controller = makeController(store.settings(), clock);
        controller->appendLog(Kind::tx, "a", "a\r");
        clock->advance(1.5);
        controller->appendLog(Kind::tx, "a", "a\r");
        const LogEntry& first = controller->log().at(0);
        const LogEntry& second = controller->log().at(1);
        QVERIFY(first.id != second.id);
        QCOMPARE(first.date.msecsTo(second.date), 1500);
        QCOMPARE(second.bytes, QByteArray("a\r"));
    }

    void clearEmptiesLogAndCounters()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QSignalSpy cleared(controller.get(), &DisplayController::logCleared);
        QSignalSpy tx(controller.get(), &DisplayController::txCountChanged);

        // Nothing to clear: nothing is announced.
        controller->clearLog();
        QCOMPARE(cleared.size(), 0);
        QCOMPARE(tx.size(), 0);

        controller->appendLog(Kind::info, "x");
        controller->clearLog();
        QCOMPARE(cleared.size(), 1);
        QCOMPARE(tx.size(), 0); // the counter was 0 already
        QVERIFY(controller->log().isEmpty());
    }

    void rawModeLogsOnlyRealChanges()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QSignalSpy changed(controller.get(), &DisplayController::rawModeChanged);
        controller->setRawMode(false);
        QCOMPARE(controller->log().size(), 0);
        controller->setRawMode(true);
        controller->setRawMode(true);
        controller->setRawMode(false);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(controller->log().size(), 2);
        QCOMPARE(controller->log().at(0).text,
                 QStringLiteral("Rohdaten-Modus: Eingaben gehen ungefiltert hinaus, keine "
                                "SMART-Abfragen"));
        QCOMPARE(controller->log().at(1).text,
                 QStringLiteral("SMART-Modus: Befehle warten auf den Prompt \u201E>\u201C"));
    }

    void proposedNameUsesTheClock()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QCOMPARE(controller->proposedExportFileName(),
                 QStringLiteral("261205_1403_Bildwart_Terminal.txt"));
    }
};

QTEST_GUILESS_MAIN(ControllerLogTest)
#include "test_controller_log.moc"
