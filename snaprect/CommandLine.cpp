#include "CommandLine.h"

#include "AppConstants.h"
#include "SaveImage.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace {

constexpr int maxDelayMs = 60000;

// The form of \a option that the user typed, for messages: "-o" or "--output".
QString typedName(const QStringList &arguments, const QCommandLineOption &option)
{
    for (const QString &argument : arguments.mid(1)) {
        for (const QString &name : option.names()) {
            const QString dashed = (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
            if (argument == dashed || argument.startsWith(dashed + QLatin1Char('='))
                || (name.size() == 1 && argument.startsWith(dashed)))
                return dashed;
        }
    }
    return QStringLiteral("--") + option.names().constLast();
}

// The option among \a options that takes no value but was given one, as in
// "--full=x", in the form typed; empty when there is none.
QString optionGivenAValue(const QStringList &arguments, const QList<QCommandLineOption> &options)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        if (!argument.startsWith(QLatin1Char('-')) || name == argument)
            continue;
        for (const QCommandLineOption &option : options) {
            if (option.valueName().isEmpty() && option.names().contains(name.mid(name.startsWith(QLatin1String("--")) ? 2 : 1)))
                return name;
        }
    }
    return {};
}

// "WxH+X+Y" with a positive size; null otherwise.
QRect parseGeometry(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,6})x(\\d{1,6})\\+(\\d{1,6})\\+(\\d{1,6})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    return QRect(match.captured(3).toInt(), match.captured(4).toInt(), match.captured(1).toInt(),
                 match.captured(2).toInt());
}

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

const QString outputName = QStringLiteral("output");

// The formats that the output option names come from the image plug-ins,
// which all load to tell them: that takes longer than the rest of a start
// until the window system is reached, so only the help asks.
void printHelp(const QString &description, QList<QCommandLineOption> options)
{
    for (QCommandLineOption &option : options) {
        if (option.names().contains(outputName))
            option.setDescription(QStringLiteral("不经对话框写入该文件，格式按扩展名（%1），没有扩展名时为 PNG 并加上 .png；"
                                                 "“-”把 PNG 写到标准输出。与 --region 一起时，S 和 Enter 写入该文件。")
                                      .arg(offeredImageSuffixes().join(QStringLiteral("、"))));
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    parser.addOptions(options);
    print(stdout, parser.helpText());
    print(stdout, QStringLiteral("\n退出状态：0 已保存或已复制，1 出错，2 用户没有保存也没有复制就离开了。\n"));
}

} // namespace

void printError(const QString &message)
{
    print(stderr, QStringLiteral("snaprect: ") + message + QLatin1Char('\n'));
}

std::optional<int> CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("截取整个桌面或其中的一块，保存为文件或复制到剪贴板。\n"
                                                    "不带选项时打开主窗口。"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("显示这段帮助。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("显示版本。"));
    const QCommandLineOption region({QStringLiteral("r"), QStringLiteral("region")},
                                    QStringLiteral("不开主窗口，直接在冻结的屏幕上选取一块："
                                                   "Ctrl+C 或 Enter 复制到剪贴板并退出，Esc 放弃。"));
    const QCommandLineOption full({QStringLiteral("f"), QStringLiteral("full")},
                                  QStringLiteral("不开主窗口，截取整个桌面并保存。"));
    // Described by printHelp().
    const QCommandLineOption outputOption({QStringLiteral("o"), outputName}, QString(), QStringLiteral("文件"));
    const QCommandLineOption clipboardOption({QStringLiteral("c"), QStringLiteral("clipboard")},
                                             QStringLiteral("与 --full 一起：复制到剪贴板（有 --output 时也写入该文件），不开保存对话框。"));
    const QCommandLineOption geometryOption({QStringLiteral("g"), QStringLiteral("geometry")},
                                            QStringLiteral("与 --full 一起：只截取桌面的这块矩形（设备像素）。"),
                                            QStringLiteral("宽x高+X+Y"));
    const QCommandLineOption delay({QStringLiteral("d"), QStringLiteral("delay")},
                                   QStringLiteral("截图前等待的毫秒数（0–60000）。"), QStringLiteral("毫秒"));
    // The detached copy of the program that keeps a picture on the clipboard,
    // given the descriptor of the socket on which the picture comes.
    QCommandLineOption serve(QStringLiteral("serve-clipboard"), QString(), QStringLiteral("socket"));
    serve.setFlags(QCommandLineOption::HiddenFromHelp);
    const QList<QCommandLineOption> options = {help, version, region, full, outputOption, clipboardOption, geometryOption, delay, serve};
    parser.addOptions(options);

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        const QString givenAValue = optionGivenAValue(arguments, options);
        if (!unknown.isEmpty()) {
            const QString &name = unknown.constFirst();
            printError(QStringLiteral("未知的选项：%1").arg((name.size() == 1 ? "-" : "--") + name));
        } else if (!givenAValue.isEmpty()) {
            printError(QStringLiteral("选项 %1 不带值").arg(givenAValue));
        } else {
            printError(QStringLiteral("选项 %1 缺少值").arg(arguments.constLast()));
        }
        return Failed;
    }
    if (parser.isSet(help)) {
        printHelp(parser.applicationDescription(), options);
        return Done;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("SnapRect %1\n").arg(appVersion.mid(1)));
        return Done;
    }
    const auto fail = [](const QString &message) {
        printError(message);
        return Failed;
    };
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("多余的参数：%1").arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(serve)) {
        mode = Mode::ServeClipboard;
        output = parser.value(serve);
        return std::nullopt;
    }
    if (parser.isSet(region) && parser.isSet(full))
        return fail(QStringLiteral("%1 与 %2 只能选一个").arg(typedName(arguments, region), typedName(arguments, full)));
    mode = parser.isSet(region) ? Mode::Region : parser.isSet(full) ? Mode::Full : Mode::Resident;
    for (const QCommandLineOption &option : {outputOption, delay}) {
        if (parser.isSet(option) && mode == Mode::Resident)
            return fail(QStringLiteral("%1 只能与 --full 或 --region 一起使用").arg(typedName(arguments, option)));
    }
    for (const QCommandLineOption &option : {clipboardOption, geometryOption}) {
        if (parser.isSet(option) && mode != Mode::Full)
            return fail(QStringLiteral("%1 只能与 --full 一起使用").arg(typedName(arguments, option)));
    }
    if (parser.isSet(outputOption)) {
        output = parser.value(outputOption);
        if (output.isEmpty() || output.endsWith(QLatin1Char('/')) || QFileInfo(output).isDir())
            return fail(QStringLiteral("%1 需要一个文件名：%2").arg(typedName(arguments, outputOption), output));
        if (output == QLatin1String("-") && standardOutputClosed)
            return fail(QStringLiteral("标准输出已关闭，无法写出图像"));
        if (output != QLatin1String("-")) {
            // Before the program makes its own folder the working directory.
            output = QDir::current().absoluteFilePath(output);
            // As the save dialog does; checked now rather than after the
            // user has made a selection.
            if (QFileInfo(output).suffix().isEmpty())
                output += QStringLiteral(".png");
            if (const QString problem = imageFormatProblem(output); !problem.isEmpty())
                return fail(QStringLiteral("图像不能保存到“%1”：%2").arg(parser.value(outputOption), problem));
        }
    }
    clipboard = parser.isSet(clipboardOption);
    if (parser.isSet(geometryOption)) {
        geometry = parseGeometry(parser.value(geometryOption));
        if (geometry.isEmpty())
            return fail(QStringLiteral("%1 的值应为 宽x高+X+Y，宽和高大于 0：%2")
                            .arg(typedName(arguments, geometryOption), parser.value(geometryOption)));
    }
    if (parser.isSet(delay)) {
        bool number = false;
        delayMs = parser.value(delay).toInt(&number);
        if (!number || delayMs < 0 || delayMs > maxDelayMs)
            return fail(QStringLiteral("%1 的值应为 0 到 %2 之间的毫秒数：%3")
                            .arg(typedName(arguments, delay)).arg(maxDelayMs).arg(parser.value(delay)));
    }
    return std::nullopt;
}
