// Times the marks' share of drawing over a capture, without a display, and
// prints medians:
//   bench_marks [runs]
// For each desktop size: a stroke step of 300 with 0 and with 50 marks placed
// (the mark taken to the pointer, then the changed area copied from the layer
// and the stroke painted over it, as the overlay repaints), one undo and its
// redo, the whole marked picture for a save, and the memory the layer takes.
#include "Median.h"
#include "overlay/MarkDocument.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using bench::Clock;
using bench::median;

double timeMs(const std::function<void()> &step)
{
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

QImage desktopPicture(const QSize &size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
    }
    return picture;
}

/// Fifty marks of every kind over the whole picture, as a busy session leaves.
void placeMarks(MarkDocument &document, const QSize &size)
{
    QRandomGenerator random(21);
    const MarkTool tools[] = {MarkTool::Pen,     MarkTool::Line,        MarkTool::Arrow,
                              MarkTool::Rectangle, MarkTool::Ellipse,   MarkTool::Highlighter,
                              MarkTool::Number,  MarkTool::Mosaic,      MarkTool::Redaction};
    for (int i = 0; i < 50; ++i) {
        const QPoint start(random.bounded(size.width()), random.bounded(size.height()));
        document.begin(tools[i % 9], MarkStyle{Qt::red, 3}, start);
        for (int j = 1; j <= 20; ++j)
            document.extend(start + QPoint(j * 20, (j % 3) * 15), Qt::NoModifier);
        document.finish();
    }
}

/// The stroke step: the median over a stroke of 300 steps.
double strokeStepMs(MarkDocument &document, QImage &screen)
{
    std::vector<double> times;
    const QPoint start(screen.width() / 4, screen.height() / 4);
    document.begin(MarkTool::Pen, MarkStyle{Qt::blue, 3}, start);
    for (int i = 1; i <= 300; ++i) {
        times.push_back(timeMs([&] {
            const QRect area = document.extend(start + QPoint(i * 5, (i % 40) * 8), Qt::NoModifier);
            QPainter painter(&screen);
            painter.setClipRect(area);
            document.paintMarked(painter, area);
            document.paintCurrent(painter);
        }));
    }
    document.finish();
    return median(times);
}

void report(const char *what, double ms)
{
    std::printf("  %-44s %9.3f ms\n", what, ms);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 15;
    for (const QSize size : {QSize(3840, 2160), QSize(7680, 2160)}) {
        std::printf("Marks on %dx%d, medians of %d runs\n", size.width(), size.height(), runs);
        const QImage capture = desktopPicture(size);
        QImage screen = capture.copy();
        MarkDocument document;
        document.setCapture(capture);
        const qint64 before = residentKb();
        report("stroke step, no mark placed", strokeStepMs(document, screen));
        document.setCapture(capture);
        placeMarks(document, size);
        report("stroke step, 50 marks placed", strokeStepMs(document, screen));
        std::printf("  %-44s %9.1f MB\n", "layer of the marked picture", (residentKb() - before) / 1e3);
        std::vector<double> undo, redo, picture;
        for (int i = 0; i < runs; ++i) {
            undo.push_back(timeMs([&] { document.undoStack()->undo(); }));
            redo.push_back(timeMs([&] { document.undoStack()->redo(); }));
            picture.push_back(timeMs([&] { document.picture(capture.rect()); }));
        }
        report("undo of the last stroke", median(undo));
        report("its redo", median(redo));
        report("the whole marked picture, for a save", median(picture));
        std::printf("\n");
    }
    return 0;
}
