// The log as a list model: batched, incremental, consistent with the capped log at all times,
// and the time of a row in the user's locale and time zone.
#include "app/UiFixture.h"
#include "app/terminal/LogModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <ctime>

namespace {

// A model on an unconnected controller's log, checked by Qt's model tester all along. Invalid
// hex input is the quickest way to a log entry without a line.
struct Model : UiFixture {
    LogModel model{*controller};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    void append(int count, const QString& prefix = {})
    {
        for (int i = 0; i < count; ++i)
            controller->sendHex(prefix + QString::number(i) + u'z');
    }
    QString body(int row) const { return model.index(row).data(LogModel::BodyRole).toString(); }
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
    void initTestCase()
    {
        useGermanLocale();
        qputenv("TZ", "Europe/Berlin"); // an hour east of the entries' UTC
        tzset();
    }

    void appendsArriveInBatches()
    {
        Model m;
        QSignalSpy inserted(&m.model, &LogModel::rowsInserted);
        m.append(100);
        QCOMPARE(m.model.rowCount(), 0); // not yet: the batch is still collecting
        QTRY_COMPARE(m.model.rowCount(), 100);
        QCOMPARE(inserted.size(), 1);
        QVERIFY(m.consistent());
    }

    void capRemovesRowsAtTheFrontWithoutReset()
    {
        Model m;
        QSignalSpy reset(&m.model, &LogModel::modelReset);
        QSignalSpy removed(&m.model, &LogModel::rowsRemoved);
        m.append(LogBuffer::capacity - 10);
        m.model.flush();
        m.append(50, "n"); // 40 of the shown rows go at the front, 50 come at the end
        // Until the batch comes, trimmed rows show nothing and no row reads a wrong entry.
        QCOMPARE(m.model.index(0).data(LogModel::BodyRole), QVariant());
        QCOMPARE(m.body(40), m.controller->log().at(0).text);
        QTRY_COMPARE(m.model.rowCount(), LogBuffer::capacity);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().at(2).toInt(), 39);
        QCOMPARE(reset.size(), 0);
        QVERIFY(m.consistent());

        // A burst larger than the cap between two batches: most entries never become rows.
        m.append(LogBuffer::capacity + 500, "b");
        m.model.flush();
        QVERIFY(m.consistent() && !m.model.hasPendingChanges());
    }

    void clearResetsOnceAndDropsWaitingEntries()
    {
        Model m;
        m.append(5);
        m.model.flush();
        m.append(1, "pending");
        QSignalSpy reset(&m.model, &LogModel::modelReset);
        QSignalSpy inserted(&m.model, &LogModel::rowsInserted);
        m.controller->clearLog();
        QCOMPARE(reset.size(), 1);
        QCOMPARE(m.model.rowCount(), 0);
        m.model.flush();
        QCOMPARE(inserted.size(), 0);
        m.append(1, "after");
        QTRY_COMPARE(m.model.rowCount(), 1);
        QVERIFY(m.consistent());
    }

    void rowsShowHexAndLocalTime()
    {
        UiFixture f;
        f.connect(promptOnly);
        f.controller->clearLog();
        LogModel model(*f.controller);
        f.lines.receive("get\r");
        f.controller->sendHex("4G");
        model.flush();
        QCOMPARE(model.index(0).data().toString(), "15:03:23,105 \u2190 get\u240D");
        QCOMPARE(model.index(0).data(LogModel::IdRole).toUuid(), f.controller->log().at(0).id);
        QSignalSpy changed(&model, &LogModel::dataChanged);
        f.controller->setShowHex(true);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.index(0).data(LogModel::BodyRole).toString(), "67 65 74 0D");
        // An entry without bytes keeps its text.
        QCOMPARE(model.index(1).data(LogModel::BodyRole).toString(),
                 "Ung\u00FCltige Hex-Eingabe: 4G");
    }

    // Hours, minutes, seconds and milliseconds exactly once in every locale, also where the
    // short format already has seconds (C, as minimal systems and containers run).
    void timeFormatOfTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("shown");
        const std::pair<const char*, const char*> rows[] = {
            {"de_DE", "14:03:22,105"}, {"en_US", "2:03:22.105\u202FPM"}, {"en_GB", "14:03:22.105"},
            {"C", "14:03:22.105"},     {"fr_FR", "14:03:22,105"},        {"ja_JP", "14:03:22.105"},
        };
        for (const auto& [name, shown] : rows)
            QTest::newRow(name) << QLocale(name) << QString(shown);
    }
    void timeFormatOfTheLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, shown);
        QString text = locale.toString(QTime(14, 3, 22, 105), LogModel::timeFormat(locale));
        text.replace(u' ', u'\u202F'); // CLDR versions differ in the blank before AM/PM
        QCOMPARE(text, shown);
    }
};

QTEST_MAIN(LogModelTest)
#include "test_log_model.moc"
