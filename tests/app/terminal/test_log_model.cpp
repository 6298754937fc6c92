// The log as a list model: batched, incremental, consistent with the capped log at all times.
#include "ControllerFixture.h"
#include "app/terminal/LogModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

// A model on a controller's log, checked by Qt's model tester all along.
struct Model {
    TemporaryStore store;
    std::unique_ptr<DisplayController> controller = makeController(store.settings());
    LogModel model{*controller};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    void append(int count, const QString& prefix = {})
    {
        for (int i = 0; i < count; ++i)
            controller->appendLog(Kind::info, prefix + QString::number(i));
    }
    QString body(int row) const { return model.index(row).data(LogModel::BodyRole).toString(); }
    // The model shows the log as it is.
    bool consistent() const
    {
        for (int row = 0; row < model.rowCount(); ++row) {
            if (body(row) != controller->log().at(row).text)
                return false;
        }
        return model.rowCount() == controller->log().size();
    }
};

} // namespace

class LogModelTest : public QObject {
    Q_OBJECT

private slots:
    void appendsArriveInBatches()
    {
        Model m;
        QSignalSpy inserted(&m.model, &LogModel::rowsInserted);
        m.append(100);
        QCOMPARE(m.model.rowCount(), 0); // not yet: the batch is still collecting
        QTRY_COMPARE_WITH_TIMEOUT(m.model.rowCount(), 100, waitMs);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 0);
        QCOMPARE(inserted.first().at(2).toInt(), 99);
        QVERIFY(m.consistent());
    }

    void capRemovesRowsAtTheFrontWithoutReset()
    {
        Model m;
        QSignalSpy reset(&m.model, &LogModel::modelReset);
        QSignalSpy removed(&m.model, &LogModel::rowsRemoved);
        m.append(LogBuffer::capacity - 10);
        m.model.flush();
        // 50 more: 40 of the shown rows go at the front, 50 come at the end.
        m.append(50, "n");
        // Until the batch comes, trimmed rows show nothing and no row reads a wrong entry.
        QCOMPARE(m.model.rowCount(), LogBuffer::capacity - 10);
        QCOMPARE(m.model.index(0).data(LogModel::BodyRole), QVariant());
        QCOMPARE(m.body(40), QStringLiteral("40"));

        QTRY_COMPARE_WITH_TIMEOUT(m.model.rowCount(), LogBuffer::capacity, waitMs);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().at(2).toInt(), 39);
        QCOMPARE(reset.size(), 0);
        QVERIFY(m.consistent());
        QCOMPARE(m.body(LogBuffer::capacity - 1), QStringLiteral("n49"));

        // A burst larger than the cap between two batches: most entries never become rows.
        m.append(LogBuffer::capacity + 500, "b");
        m.model.flush();
        QVERIFY(m.consistent());
        QVERIFY(!m.model.hasPendingChanges());
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
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 1, waitMs);
        QCOMPARE(model.index(0).data(LogModel::BodyRole).toString(), QStringLiteral("after"));
    }

    void hexRendering_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("hex");
        QTest::newRow("tx shows its bytes")
            << int(Kind::tx) << "get" << QByteArray("get\r") << "67 65 74 0D";
        QTest::newRow("info keeps its text")
            << int(Kind::info) << "Verbunden" << QByteArray() << "Verbunden";
    }
    void hexRendering()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, hex);
        Model m;
        DisplayController* controller = m.controller.get();
        LogModel& model = m.model;
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
        Model m;
        m.controller->appendLog(Kind::tx, "get volume", "get volume\r");
        LogModel& model = m.model;
        model.flush();
        QCOMPARE(model.index(0).data().toString(),
                 QStringLiteral("14:03:22,105 \u2192 get volume"));
        QCOMPARE(model.index(0).data(LogModel::IdRole).toUuid(), m.controller->log().at(0).id);
    }
};

QTEST_MAIN(LogModelTest)
#include "test_log_model.moc"
