#include "SaveImage.h"

#include "SaveSettings.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMessageBox>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>

namespace {

const QString dialogCaption = QStringLiteral("保存图像");
// Every type the dialog knows, in the order offered; the remembered file type
// is a place in this list, whichever of them the installed Qt can write.
const QStringList nameFilters = {
    QStringLiteral("PNG 图像 (*.png)"),
    QStringLiteral("JPEG 图像 (*.jpg)"),
    QStringLiteral("BMP 图像 (*.bmp)"),
    QStringLiteral("XPM 图像 (*.xpm)"),
    QStringLiteral("PPM 图像 (*.ppm)"),
    QStringLiteral("WebP 图像 (*.webp)"),
    QStringLiteral("TIFF 图像 (*.tiff)"),
};

// Where the dialog opens: the folder of the last save or, the first time (or
// when that folder is gone), the user's pictures folder, made if missing, or
// the home folder where there is none.
QString startFolder(const QString &lastFolder)
{
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        return lastFolder;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QDir().mkpath(pictures) ? pictures : QDir::homePath();
}

// "PNG 图像 (*.png)" -> "png"
QString suffixOfFilter(const QString &filter)
{
    const int star = filter.lastIndexOf(QLatin1String("*."));
    return star < 0 ? QString() : filter.mid(star + 2).chopped(1);
}

// The dialog's types that the installed Qt can write: JPEG, WebP and TIFF
// come from its image-format plug-ins.
const QStringList &offeredFilters()
{
    static const QStringList offered = [] {
        const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
        QStringList filters;
        std::copy_if(nameFilters.cbegin(), nameFilters.cend(), std::back_inserter(filters),
                     [&writable](const QString &filter) { return writable.contains(suffixOfFilter(filter).toLatin1()); });
        return filters;
    }();
    return offered;
}

// "SnapRect_<time>.png" in \a folder or, when an earlier save of the same
// capture (or any picture) took that name, "SnapRect_<time>_2.png" and so on,
// so that Return alone never meets the question whether to replace a file.
QString proposedName(const QString &folder, const QDateTime &taken, const QString &suffix)
{
    const QString stem = QStringLiteral("SnapRect_") + taken.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const QStringList suffixes = offeredImageSuffixes();
    const auto inUse = [&](const QString &name) {
        return std::any_of(suffixes.cbegin(), suffixes.cend(),
                           [&](const QString &s) { return QFileInfo::exists(folder + QLatin1Char('/') + name + QLatin1Char('.') + s); });
    };
    QString name = stem;
    for (int n = 2; inUse(name); ++n)
        name = QStringLiteral("%1_%2").arg(stem).arg(n);
    return name + QLatin1Char('.') + suffix;
}

// A small screen at a high scale (a 1280 x 800 panel at 2 is 640 x 400
// units) has less room than the dialog asks for, and its bottom row, with
// the file type and "取消", would lie beyond the edge. Room is left for a
// window manager's title bar, which is not known before the dialog shows.
void fitOnScreen(QDialog &dialog, const QWidget *parent)
{
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int titleBar = dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    dialog.resize(dialog.sizeHint().boundedTo(screen->availableGeometry().size() - QSize(0, titleBar)));
}

// The type is that of the file written, whatever type was chosen in the
// dialog, so that the next proposal has the suffix the user went for. A
// settings file that cannot be written costs only the convenience.
void remember(SaveSettings &settings, const QString &fileName, const QString &chosenFilter)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const auto written = std::find_if(nameFilters.cbegin(), nameFilters.cend(),
                                      [&suffix](const QString &filter) { return suffixOfFilter(filter) == suffix; });
    settings.folder = QFileInfo(fileName).absolutePath();
    settings.fileType = int(written != nameFilters.cend() ? written - nameFilters.cbegin() : nameFilters.indexOf(chosenFilter));
    settings.save();
}

} // namespace

QStringList offeredImageSuffixes()
{
    QStringList suffixes;
    for (const QString &filter : offeredFilters())
        suffixes.append(suffixOfFilter(filter));
    return suffixes;
}

QString imageFormatProblem(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    if (!suffix.isEmpty() && QImageWriter::supportedImageFormats().contains(suffix.toLower().toLatin1()))
        return {};
    const QStringList offered = offeredImageSuffixes(); // png, bmp, xpm and ppm at least
    return QStringLiteral("不支持“%1”这种图像格式，请使用 .%2 或 .%3 作为扩展名。")
        .arg(suffix, offered.mid(0, offered.size() - 1).join(QStringLiteral("、.")), offered.last());
}

QString writePixmap(const QPixmap &pixmap, const QString &fileName)
{
    if (const QString problem = imageFormatProblem(fileName); !problem.isEmpty())
        return problem;

    // Written beside the target and renamed over it at the end, so a failed
    // save never leaves an existing file truncated or half-written.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("无法创建文件：%1").arg(file.errorString());
    const QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    QImageWriter writer(&file, format);
    // Lossless, as the other formats but JPEG: a screen holds text and hard
    // edges, which WebP's default quality blurs.
    if (format == "webp")
        writer.setQuality(100);
    if (!writer.write(pixmap.toImage())) {
        file.cancelWriting();
        return QStringLiteral("无法写入图像：%1").arg(writer.errorString());
    }
    // Qt 6.4's commit() renames the file into place even when flushing its
    // last buffered bytes failed (a full disk), so the flush is checked here.
    if (!file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return QStringLiteral("无法写入文件：%1").arg(reason);
    }
    if (!file.commit())
        return QStringLiteral("无法写入文件：%1").arg(file.errorString());
    return {};
}

QString saveImage(QWidget *parent, const QPixmap &pixmap, const QDateTime &taken)
{
    SaveSettings settings;
    settings.load();
    const QString remembered = nameFilters.value(settings.fileType);
    const QString filter = offeredFilters().contains(remembered) ? remembered : offeredFilters().first();
    const QString folder = startFolder(settings.folder);
    QFileDialog dialog(parent, dialogCaption, folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(offeredFilters());
    dialog.selectNameFilter(filter);
    dialog.setDefaultSuffix(suffixOfFilter(filter));
    // Return alone saves.
    dialog.selectFile(proposedName(folder, taken, suffixOfFilter(filter)));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &filter) { dialog.setDefaultSuffix(suffixOfFilter(filter)); });
    fitOnScreen(dialog, parent);

    while (dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty())
            break;
        const QString fileName = chosen.first();
        const QString problem = writePixmap(pixmap, fileName);
        if (problem.isEmpty()) {
            remember(settings, fileName, dialog.selectedNameFilter());
            return fileName;
        }
        QMessageBox::warning(parent, dialogCaption,
                             QStringLiteral("图像没有保存到“%1”。\n%2").arg(QDir::toNativeSeparators(fileName), problem));
        dialog.selectFile(fileName);
    }
    return {};
}
