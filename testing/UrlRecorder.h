#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

/// Stands in for the browser and the mail program: while it lives, every URL
/// that QDesktopServices::openUrl() is given with one of its schemes is
/// recorded here instead of being opened.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    explicit UrlRecorder(const QStringList &schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                                       QStringLiteral("mailto")});
    ~UrlRecorder() override;

    QList<QUrl> urls;

public slots:
    void open(const QUrl &url);

private:
    QStringList m_schemes;
};
