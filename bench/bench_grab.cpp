// Times the desktop grab of the back end that the running platform gets
// (X11: QScreen::grabWindow; Wayland: the desktop portal), from the request
// to the picture in hand, as the capture buttons use it.
//
//   bench_grab [RUNS]    (default 10)

#include "platform/ScreenGrabber.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <vector>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;
    ScreenGrabber &grabber = ScreenGrabber::instance();
    QTextStream out(stdout);

    std::vector<double> times;
    QSize size;
    qreal scale = 1;
    for (int i = 0; i < runs; ++i) {
        QEventLoop loop;
        QElapsedTimer clock;
        QString failure;
        clock.start();
        bool answered = false;
        grabber.requestDesktop(&loop, [&](const QPixmap &picture, const QString &why) {
            times.push_back(clock.nsecsElapsed() / 1e6);
            size = picture.size();
            scale = picture.devicePixelRatio();
            failure = why;
            answered = true;
            loop.quit();
        });
        if (!answered)
            loop.exec();
        if (!failure.isEmpty()) {
            out << "grab failed: " << failure << Qt::endl;
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    out << QGuiApplication::platformName() << " grab of " << size.width() << " x " << size.height()
        << " (scale " << scale << "), " << runs << " runs: median " << times[times.size() / 2] << " ms, min "
        << times.front() << " ms, max " << times.back() << " ms" << Qt::endl;
    return 0;
}
