#include "serial/HexBytes.h"

#include <QTest>

class HexBytesTest : public QObject {
    Q_OBJECT

private slots:
    void grammar_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QByteArray>("expected"); // null: invalid
        const QByteArray hal("\x48\x61\x6C");
        QTest::newRow("blanks") << "48 61 6C" << hal;
        QTest::newRow("commas, lower case, 0X") << "0X48,61,6c" << hal;
        QTest::newRow("one run") << "48616C" << hal;
        QTest::newRow("colon and semicolon") << "48:61;6C" << hal;
        QTest::newRow("tab and line feed") << "48\t61\n6C" << hal;
        QTest::newRow("0x inside a run") << "480x61" << QByteArray("\x48\x61");
        QTest::newRow("odd run") << "ABC" << QByteArray("\x0A\xBC");
        QTest::newRow("plus sign") << "+F" << QByteArray("\x0F");
        QTest::newRow("all bytes") << "00 7F 80 FF" << QByteArray("\x00\x7F\x80\xFF", 4);
        QTest::newRow("not hex") << "4G" << QByteArray();
        QTest::newRow("minus sign") << "-1" << QByteArray();
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("0x alone") << "0x" << QByteArray();
        QTest::newRow("carriage return is no separator") << "48\r61" << QByteArray();
    }
    void grammar()
    {
        QFETCH(QString, input);
        QFETCH(QByteArray, expected);
        const auto bytes = parseHexBytes(input);
        QCOMPARE(bytes.has_value(), !expected.isNull());
        if (bytes)
            QCOMPARE(*bytes, expected);
    }

    void hexText()
    {
        QCOMPARE(::hexText(QByteArray("Hallo\r\n")), QStringLiteral("48 61 6C 6C 6F 0D 0A"));
        QCOMPARE(::hexText(QByteArray()), QString());
    }
};

QTEST_APPLESS_MAIN(HexBytesTest)
#include "test_hex_bytes.moc"
