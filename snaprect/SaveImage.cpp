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
const QStringList nameFilters = {
    QStringLiteral("PNG 图像 (*.png)"),
    QStringLiteral("JPEG 图像 (*.jpg)"),
    QStringLiteral("BMP 图像 (*.bmp)"),
    QStringLiteral("XPM 图像 (*.xpm)"),
    QStringLiteral("PPM 图像 (*.ppm)"),
};

// Where the dialog opens: the folder of the last save or, the first time (or
// when that folder is gone), the working directory (the program's folder),
// unless the user may not write there (an installed program), then the
// user's pictures.
QString startFolder(const QString &lastFolder)
{
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        return lastFolder;
    if (QFileInfo(QDir::currentPath()).isWritable())
        return QDir::currentPath();
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

// "PNG 图像 (*.png)" -> "png"
QString suffixOfFilter(const QString &filter)
{
    const int star = filter.lastIndexOf(QLatin1String("*."));
    return star < 0 ? QString() : filter.mid(star + 2).chopped(1);
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

QString writePixmap(const QPixmap &pixmap, const QString &fileName)
{
    const QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format))
        return QStringLiteral("不支持“%1”这种图像格式，请使用 .png、.jpg、.bmp、.xpm 或 .ppm 作为扩展名。")
            .arg(QFileInfo(fileName).suffix());

    // Written beside the target and renamed over it at the end, so a failed
    // save never leaves an existing file truncated or half-written.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("无法创建文件：%1").arg(file.errorString());
    QImageWriter writer(&file, format);
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
    const QString filter = nameFilters.value(settings.fileType, nameFilters.first());
    QFileDialog dialog(parent, dialogCaption, startFolder(settings.folder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters);
    dialog.selectNameFilter(filter);
    dialog.setDefaultSuffix(suffixOfFilter(filter));
    // Return alone saves.
    dialog.selectFile(QStringLiteral("SnapRect_%1.%2").arg(taken.toString(QStringLiteral("yyyyMMdd_HHmmss")),
                                                          suffixOfFilter(filter)));
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
