// The window's identity against the installed desktop entry: a dock matches windows to the
// entry by its id and shows the entry's icon, so both must agree with what the program sets.
#include "app/DesktopIdentity.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <QTest>

class DesktopIdentityTest : public QObject {
    Q_OBJECT

private slots:
    void matchesTheDesktopEntry()
    {
        applyDesktopIdentity();
        const QString entryPath = QStringLiteral(DATA_DIR "/") +
                                  QGuiApplication::desktopFileName() + QStringLiteral(".desktop");
        QVERIFY2(QFile::exists(entryPath), qPrintable(entryPath));
        QFile entry(entryPath);
        QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
        const QList<QByteArray> lines = entry.readAll().split('\n');
        QVERIFY(lines.contains("Icon=" + QGuiApplication::desktopFileName().toUtf8()));
        QVERIFY(!QGuiApplication::windowIcon().isNull());
    }

    // Started from the build folder nothing is installed: the built-in copy must draw, which
    // also needs Qt's SVG plugin.
    void iconDrawsWithoutAnInstalledTheme()
    {
        QTemporaryDir emptyThemes;
        QIcon::setThemeSearchPaths({emptyThemes.path()});
        const QPixmap small = applicationIcon().pixmap(16, 16);
        QVERIFY(!small.isNull());
        QCOMPARE(small.size(), QSize(16, 16));
        // The picture itself, not an empty or filled square: an opaque screen in the middle,
        // nothing in the lower left corner.
        const QImage image = small.toImage();
        QCOMPARE(qAlpha(image.pixel(8, 6)), 255);
        QCOMPARE(qAlpha(image.pixel(0, 15)), 0);
    }
};

QTEST_MAIN(DesktopIdentityTest)
#include "test_desktop_identity.moc"
