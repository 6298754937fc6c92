// How the terminal keeps up with a flood of received chunks: 20,000 chunks of 1 to 64 bytes go
// through the controller as they would come from a busy line, a few per pass of the event
// loop, with the terminal shown and with it hidden. A 0 ms timer records how late it fires:
// the longest gap between two passes of the event loop is what the user feels as a frozen
// window. Goals: no gap over 50 ms; absorbing with the terminal shown takes at most twice as
// long as with it hidden.
//
// Usage: bench_terminal [chunks per pass, default 8]
#include "LoopGapProbe.h"
#include "PushedLine.h"
#include "app/terminal/LogModel.h"
#include "app/terminal/TerminalView.h"
#include "controller/DisplayController.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <random>

namespace {

constexpr int chunkCount = 20000;
constexpr int maxChunkSize = 64;

// Printable traffic with line ends, the same for every run.
QList<QByteArray> makeChunks()
{
    std::mt19937 random(20261205);
    std::uniform_int_distribution<int> size(1, maxChunkSize);
    std::uniform_int_distribution<int> byte(0x20, 0x7E);
    QList<QByteArray> chunks;
    chunks.reserve(chunkCount);
    for (int i = 0; i < chunkCount; ++i) {
        QByteArray chunk(size(random), Qt::Uninitialized);
        for (char& c : chunk)
            c = char(byte(random));
        if (chunk.size() > 2 && i % 3 == 0)
            chunk.append("\r\n");
        chunks.append(chunk);
    }
    return chunks;
}

struct Result {
    double absorbMs = 0;
    double longestGapMs = 0;
};

Result run(bool visible, int perPass, const QList<QByteArray>& chunks)
{
    QTemporaryDir dir;
    QSettings store(dir.filePath("bench.conf"), QSettings::IniFormat);
    PushedController pushed;
    DisplayController& controller = *pushed.controller;
    TerminalView view(controller, store);
    view.resize(900, 500);
    if (visible)
        view.show();
    QApplication::processEvents();

    QEventLoop loop;
    LoopGapProbe probe;

    int next = 0;
    QTimer feeder;
    feeder.setInterval(0);
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        for (int i = 0; i < perPass && next < chunks.size(); ++i)
            pushed.line->push(chunks.at(next++));
        // Done when every chunk is in and the list has caught up with the log.
        if (next == chunks.size() && !view.model()->hasPendingChanges())
            loop.quit();
    });

    probe.start();
    feeder.start();
    loop.exec();
    return {probe.elapsedMs(), probe.longestGapMs()};
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int perPass = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 8;
    const QList<QByteArray> chunks = makeChunks();

    run(true, perPass, chunks); // warms up fonts, icons and the allocator
    const Result hidden = run(false, perPass, chunks);
    const Result shown = run(true, perPass, chunks);

    std::printf("%d chunks of 1-%d bytes, %d per pass of the event loop\n", chunkCount,
                maxChunkSize, perPass);
    std::printf("terminal hidden:  absorbed in %8.1f ms, longest gap %6.1f ms\n", hidden.absorbMs,
                hidden.longestGapMs);
    std::printf("terminal shown:   absorbed in %8.1f ms, longest gap %6.1f ms\n", shown.absorbMs,
                shown.longestGapMs);
    const double ratio = shown.absorbMs / hidden.absorbMs;
    std::printf("shown / hidden:   %.2f (goal <= 2.00); longest gap goal <= 50 ms\n", ratio);
    const bool met = ratio <= 2.0 && shown.longestGapMs <= 50.0 && hidden.longestGapMs <= 50.0;
    std::printf("%s\n", met ? "goals met" : "GOALS MISSED");
    return met ? 0 : 1;
}
