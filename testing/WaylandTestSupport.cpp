#include "WaylandTestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QScreen>
#include <QTest>

namespace WaylandTestSupport {

namespace {

constexpr int commandTimeoutMs = 15000;

QByteArray run(const QString &program, const QStringList &arguments, bool *ok = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(commandTimeoutMs);
    const bool worked = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (ok)
        *ok = worked;
    return process.readAllStandardOutput();
}

QRect rectOf(const QJsonObject &object)
{
    return QRect(object.value(QStringLiteral("x")).toInt(), object.value(QStringLiteral("y")).toInt(),
                 object.value(QStringLiteral("width")).toInt(), object.value(QStringLiteral("height")).toInt());
}

void collect(const QJsonObject &node, const QString &title, const QString &output, QList<SwayWindow> &found)
{
    const QString type = node.value(QStringLiteral("type")).toString();
    const QString here = type == QLatin1String("output") ? node.value(QStringLiteral("name")).toString() : output;
    const bool isView = (type == QLatin1String("con") || type == QLatin1String("floating_con"))
                        && node.contains(QStringLiteral("pid"));
    if (isView && node.value(QStringLiteral("name")).toString() == title) {
        SwayWindow window;
        window.id = node.value(QStringLiteral("id")).toInteger();
        window.title = title;
        const QRect outer = rectOf(node.value(QStringLiteral("rect")).toObject());
        const QRect inner = rectOf(node.value(QStringLiteral("window_rect")).toObject());
        window.rect = QRect(outer.topLeft() + inner.topLeft(), inner.size());
        window.visible = node.value(QStringLiteral("visible")).toBool();
        window.focused = node.value(QStringLiteral("focused")).toBool();
        window.fullScreen = node.value(QStringLiteral("fullscreen_mode")).toInt() != 0;
        window.output = here;
        found.append(window);
    }
    for (const char *children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray())
            collect(child.toObject(), title, here, found);
    }
}

} // namespace

bool swaymsg(const QStringList &arguments)
{
    bool ok = false;
    run(QStringLiteral("swaymsg"), arguments, &ok);
    return ok;
}

QList<SwayWindow> windows(const QString &title)
{
    const QByteArray tree = run(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")});
    QList<SwayWindow> found;
    collect(QJsonDocument::fromJson(tree).object(), title, QString(), found);
    return found;
}

SwayWindow waitForWindow(const QString &title, qint64 besides, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        for (const SwayWindow &window : windows(title)) {
            if (window.id != besides && window.visible)
                return window;
        }
        QTest::qWait(20);
    }
    return {};
}

bool isVisible(qint64 id)
{
    // Titles change; the tree is searched for the id itself.
    const QByteArray tree = run(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")});
    std::function<bool(const QJsonObject &)> visibleIn = [&](const QJsonObject &node) {
        if (node.value(QStringLiteral("id")).toInteger() == id)
            return node.value(QStringLiteral("visible")).toBool();
        for (const char *children : {"nodes", "floating_nodes"}) {
            for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
                if (visibleIn(child.toObject()))
                    return true;
            }
        }
        return false;
    };
    return visibleIn(QJsonDocument::fromJson(tree).object());
}

bool waitForGone(qint64 id, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (isVisible(id)) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

QImage screenshot()
{
    bool ok = false;
    const QByteArray png = run(QStringLiteral("grim"), {QStringLiteral("-t"), QStringLiteral("png"), QStringLiteral("-")}, &ok);
    return ok ? QImage::fromData(png, "PNG") : QImage();
}

bool setOutputPicture(const QString &output, const QImage &picture, const QString &folder)
{
    const QString path = QDir(folder).filePath(output + QStringLiteral(".png"));
    if (!picture.save(path, "PNG"))
        return false;
    // The compositor runs as another user, who reads it.
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                      | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    return swaymsg({QStringLiteral("output"), output, QStringLiteral("bg"), path, QStringLiteral("stretch")});
}

namespace {

// Whether nearly all of \a a's pixels are within a few levels of \a b's:
// \a b resampled, not another picture.
bool resembles(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    qint64 close = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int d = qAbs(qRed(p[x]) - qRed(q[x])) + qAbs(qGreen(p[x]) - qGreen(q[x]))
                          + qAbs(qBlue(p[x]) - qBlue(q[x]));
            close += d <= 48;
        }
    }
    return close * 100 >= qint64(a.width()) * a.height() * 95;
}

QImage waitUntilShown(const QImage &shown, qreal scale, int timeoutMs)
{
    const bool whole = qFuzzyCompare(scale, qreal(qRound(scale)));
    QDeadlineTimer deadline(timeoutMs);
    QImage last;
    while (!deadline.hasExpired()) {
        const QImage now = screenshot().convertToFormat(QImage::Format_RGB32);
        if (whole ? now == shown : (now == last && resembles(now, shown)))
            return now;
        last = now;
        QTest::qWait(50);
    }
    return {};
}

} // namespace

QRect scaledRect(const QRect &logical, qreal scale)
{
    const QPoint topLeft(qRound(logical.left() * scale), qRound(logical.top() * scale));
    const QPoint end(qRound((logical.right() + 1) * scale), qRound((logical.bottom() + 1) * scale));
    return QRect(topLeft, end - QPoint(1, 1));
}

qreal expectedScale()
{
    bool ok = false;
    const qreal scale = qEnvironmentVariable("EXPECTED_SCALE").toDouble(&ok);
    return ok && scale > 0 ? scale : 1;
}

namespace {

// The bounding rectangle of the outputs, in logical units.
QRect layoutGeometry()
{
    QRect layout;
    for (const QScreen *screen : QGuiApplication::screens())
        layout |= screen->geometry();
    return layout;
}

} // namespace

QSize layoutPixels(qreal scale)
{
    return scaledRect(QRect(QPoint(0, 0), layoutGeometry().size()), scale).size();
}

QImage showOnOutputs(const QImage &pattern, qreal scale, const QString &folder, int timeoutMs)
{
    const QRect layout = layoutGeometry();
    QImage shown(pattern.size(), QImage::Format_RGB32);
    shown.fill(Qt::black);
    QPainter painter(&shown);
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry().translated(-layout.topLeft());
        const QRect area = scaledRect(logical, scale);
        const QImage part = pattern.copy(area);
        if (!setOutputPicture(screen->name(), part, folder))
            return {};
        painter.drawImage(area.topLeft(), part);
    }
    painter.end();
    return waitUntilShown(shown, scale, timeoutMs);
}

namespace {

// wtype's leading arguments: every run is a new virtual keyboard whose keymap
// reaches the client just before the first key, and a client still busy with
// the keymap loses that key; the first key waits a little.
QStringList wtypePrimer()
{
    return {QStringLiteral("-s"), QStringLiteral("300")};
}

bool wtype(const QStringList &arguments)
{
    bool ok = false;
    run(QStringLiteral("wtype"), wtypePrimer() + arguments, &ok);
    return ok;
}

} // namespace

bool key(const QString &keyName, const QStringList &modifiers)
{
    QStringList arguments;
    for (const QString &modifier : modifiers)
        arguments << QStringLiteral("-M") << modifier;
    arguments << QStringLiteral("-k") << keyName;
    for (const QString &modifier : modifiers)
        arguments << QStringLiteral("-m") << modifier;
    return wtype(arguments);
}

bool type(const QString &text)
{
    return wtype({QStringLiteral("-d"), QStringLiteral("5"), QStringLiteral("--"), text});
}

VirtualPointer::~VirtualPointer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
}

bool VirtualPointer::start(const QSize &extent)
{
    const QString program = qEnvironmentVariable("WL_VIRTUAL_POINTER");
    if (program.isEmpty())
        return false;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, {QString::number(extent.width()), QString::number(extent.height())});
    return m_process.waitForStarted() && answered();
}

bool VirtualPointer::answered()
{
    QDeadlineTimer deadline(commandTimeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return m_process.readLine().trimmed() == "ok";
}

bool VirtualPointer::command(const QByteArray &line)
{
    m_process.write(line + '\n');
    return answered();
}

bool VirtualPointer::move(const QPoint &to)
{
    return command("move " + QByteArray::number(to.x()) + ' ' + QByteArray::number(to.y()));
}

bool VirtualPointer::press(const QString &button)
{
    return command("down " + button.toLatin1());
}

bool VirtualPointer::release(const QString &button)
{
    return command("up " + button.toLatin1());
}

bool VirtualPointer::drag(const QPoint &from, const QPoint &to)
{
    return move(from) && press() && move((from + to) / 2) && move(to) && release();
}

bool VirtualPointer::click(const QPoint &at)
{
    return move(at) && press() && release();
}

} // namespace WaylandTestSupport
