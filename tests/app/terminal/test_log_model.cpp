// The log as a list model: batched, incremental, consistent with the capped log at all times.
#include "app/terminal/LogModel.h"
#include "controller/ControllerFixture.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

using Kind = LogEntry::Kind;
constexpr int waitMs = 5000;

// The texts of all rows, as the model shows them.
QStringList rowBodies(const LogModel& model)
{
    QStringList bodies;
    for (int row = 0; row < model.rowCount(); ++row)
        bodies.append(model.index(row).data(LogModel::BodyRole).toString());
    return bodies;
}

QStringList logTexts(const DisplayController& controller)
{
    QStringList texts;
    for (const LogEntry& entry : controller.log())
        texts.append(entry.text);
    return texts;
}

} // namespace

class LogModelTest : public QObject {
    Q_OBJECT

private slots:
    void appendsArriveInBatches()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        LogModel model(*controller);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &LogModel::rowsInserted);

        for (int i = 0; i < 100; ++i)
            controller->appendLog(Kind::info, QString::number(i));
        QCOMPARE(model.rowCount(), 0); // not yet: the batch is still collecting
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 100, waitMs);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 0);
        QCOMPARE(inserted.first().at(2).toInt(), 99);
        QCOMPARE(rowBodies(model), logTexts(*controller));
    }

    void capRemovesRowsAtTheFrontWithoutReset()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        LogModel model(*controller);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &LogModel::modelReset);
        QSignalSpy removed(&model, &LogModel::rowsRemoved);

        for (int i = 0; i < LogBuffer::capacity - 10; ++i)
            controller->appendLog(Kind::info, QString::number(i));
        model.flush();
        QCOMPARE(model.rowCount(), LogBuffer::capacity - 10);

        // 50 more: 40 of the shown rows go at the front, 50 come at the end.
        for (int i = 0; i < 50; ++i)
            controller->appendLog(Kind::rx, "n" + QString::number(i), "x");
        // Until the batch comes, trimmed rows show nothing and no row reads a wrong entry.
        QCOMPARE(model.rowCount(), LogBuffer::capacity - 10);
        QCOMPARE(model.index(0).data(LogModel::BodyRole), QVariant());
        QCOMPARE(model.index(40).data(LogModel::BodyRole).toString(), QStringLiteral("40"));

        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), LogBuffer::capacity, waitMs);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().at(2).toInt(), 39);
        QCOMPARE(reset.size(), 0);
        QCOMPARE(rowBodies(model), logTexts(*controller));
        QCOMPARE(model.index(LogBuffer::capacity - 1).data(LogModel::BodyRole).toString(),
                 QStringLiteral("n49"));
    }

    void entriesTrimmedBeforeTheyWereShown()
    {
        // A burst larger than the cap between two batches: most entries never become rows.
        TemporaryStore store;
        auto controller = makeController(store.settings());
        LogModel model(*controller);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        controller->appendLog(Kind::info, "first");
        model.flush();
        for (int i = 0; i < LogBuffer::capacity + 500; ++i)
            controller->appendLog(Kind::info, QString::number(i));
        model.flush();
        QCOMPARE(model.rowCount(), LogBuffer::capacity);
        QCOMPARE(rowBodies(model), logTexts(*controller));
        QVERIFY(!model.hasPendingChanges());
    }

    void clearResetsOnce()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        for (int i = 0; i < 5; ++i)
            controller->appendLog(Kind::info, QString::number(i));
        LogModel model(*controller); // a model made later starts with the log as it is
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 5);
        controller->appendLog(Kind::info, "pending");
        QSignalSpy reset(&model, &LogModel::modelReset);
        QSignalSpy inserted(&model, &LogModel::rowsInserted);

        controller->clearLog();
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 0);
        // The entry that was still waiting is gone with the rest; nothing arrives later.
        QTest::qWait(LogModel::batchIntervalMs * 3);
        QCOMPARE(inserted.size(), 0);
        QCOMPARE(model.rowCount(), 0);

        controller->appendLog(Kind::info, "after");
        QTRY_COMPARE_WITH_TIMEOUT(rowBodies(model), QStringList{"after"}, waitMs);
    }

    void hexRendering_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("hex");
        QTest::newRow("tx shows its bytes")
            << int(Kind::tx) << "get" << QByteArray("get\r") << "67 65 74 0D";
        QTest::newRow("rx") << int(Kind::rx) << "volume=5\u240D" << QByteArray("volume=5\r")
                            << "76 6F 6C 75 6D 65 3D 35 0D";
        QTest::newRow("info keeps its text")
            << int(Kind::info) << "Verbunden" << QByteArray() << "Verbunden";
        QTest::newRow("error keeps its text")
            << int(Kind::error) << "Nicht verbunden." << QByteArray() << "Nicht verbunden.";
    }
    void hexRendering()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, hex);
        TemporaryStore store;
        auto controller = makeController(store.settings());
        LogModel model(*controller);
        controller->appendLog(Kind(kind), text, bytes);
        model.flush();
        QSignalSpy changed(&model, &LogModel::dataChanged);
        QCOMPARE(model.index(0).data(LogModel::BodyRole).toString(), text);

        controller->setShowHex(true);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.index(0).data(LogModel::BodyRole).toString(), hex);
        QCOMPARE(model.index(0).data(LogModel::SymbolRole).toString(),
                 LogEntry::symbol(Kind(kind)));
        controller->setShowHex(false);
        QCOMPARE(model.index(0).data(LogModel::BodyRole).toString(), text);
    }

    void timeOfARow_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("shown");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "14:03:22,105";
        QTest::newRow("American") << QLocale(QLocale::English, QLocale::UnitedStates)
                                  << "2:03:22.105\u202FPM";
        QTest::newRow("British") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                                 << "14:03:22.105";
    }
    void timeOfARow()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, shown);
        const QString format = LogModel::timeFormat(locale);
        QString text = locale.toString(QTime(14, 3, 22, 105), format);
        text.replace(u' ', u'\u202F'); // CLDR versions differ in the blank before AM/PM
        QCOMPARE(text, shown);
    }

    void displayRoleIsTheWholeLine()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TemporaryStore store;
        auto controller = makeController(store.settings());
        LogModel model(*controller);
        controller->appendLog(Kind::tx, "get volume", "get volume\r");
        model.flush();
        QCOMPARE(model.index(0).data().toString(),
                 QStringLiteral("14:03:22,105 \u2192 get volume"));
        QCOMPARE(model.index(0).data(LogModel::IdRole).toUuid(), controller->log().at(0).id);
    }
};

QTEST_MAIN(LogModelTest)
#include "test_log_model.moc"
