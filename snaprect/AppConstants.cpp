#include "AppConstants.h"

#include "snaprect_config.h"

const QString appTitle = QStringLiteral("Framzel");
const QString productId = QStringLiteral("snap_rect_windows_x86_32");
const QString appVersion = QStringLiteral("V" SNAPRECT_VERSION_TEXT);
const QString appDate = QStringLiteral(SNAPRECT_RELEASE_DATE_TEXT);
const QString siteUrl = QStringLiteral(SNAPRECT_SITE_URL);
const QString mailAddress = QStringLiteral(SNAPRECT_MAIL_ADDRESS);
const QString adConfigUrl = siteUrl + QStringLiteral("ad/ad_cfg_1.php?id=") + productId;
const QString mailUrl = QStringLiteral("mailto:") + mailAddress;
const QString updateUrl = siteUrl + QStringLiteral("ver.php");
const QString updateId = productId;
const QString updateVersion = appDate;
const QString homeUrl = siteUrl;
const QFont appFont(QStringLiteral("宋体"), 12);
