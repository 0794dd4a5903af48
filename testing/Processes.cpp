#include "Processes.h"

#include <QDir>
#include <QFile>

namespace {
QList<QByteArray> words(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll().split('\0') : QList<QByteArray>();
}
} // namespace

QList<qint64> processesWith(const QByteArray &argument, const QByteArray &entry)
{
    QList<qint64> found;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        const QString folder = "/proc/" + pid;
        if (pid.toLongLong() > 0 && words(folder + "/cmdline").contains(argument) && words(folder + "/environ").contains(entry))
            found.append(pid.toLongLong());
    }
    return found;
}
