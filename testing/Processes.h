#pragma once

#include <QList>

class QByteArray;

/// The processes whose command line has \a argument as one of its words and
/// whose environment has \a entry ("XDG_RUNTIME_DIR=/tmp/x"): a program's
/// detached helpers in one session, whoever started them.
QList<qint64> processesWith(const QByteArray &argument, const QByteArray &entry);
