#include "KeyHelp.h"

#include "Mark.h"

#include <QFontMetrics>
#include <QPainter>

#include <utility>

namespace {

using Row = std::pair<QString, QString>;

// The drawing tools three to a row, from the tools' own table.
QList<Row> toolRows()
{
    QList<Row> rows;
    const QList<MarkToolInfo> &tools = markTools();
    for (qsizetype i = 0; i < tools.size(); i += 3) {
        QStringList keys, names;
        for (const MarkToolInfo &tool : tools.mid(i, 3)) {
            keys << QString(QChar(tool.key));
            names << tool.name;
        }
        rows.append({keys.join(QStringLiteral("、")), names.join(QStringLiteral("、"))});
    }
    return rows;
}

const QList<Row> &rows()
{
    static const QList<Row> all = QList<Row>{
                                      {"方向键", "选区或选中的标注移动一像素"},
                                      {"Ctrl+方向键", "选区或选中的标注移动十像素"},
                                      {"Shift+方向键", "移动右边或下边"},
                                      {"按住 Shift", "放大镜"},
                                      {"W", "选取指针下的窗口"},
                                      {"S", "保存选区"},
                                      {"拖动边框", "调整选区大小"},
                                      {"Enter、Ctrl+C", "复制选区并退出，同“复制”按钮"},
                                      {"R", "重新选择"},
                                      {"F", "保存全屏"},
                                  }
                                  + toolRows()
                                  + QList<Row>{
                                      {"Delete、Backspace", "删除选中的标注"},
                                      {"文字框中 Ctrl+Enter", "放下文字（Enter 换行）"},
                                      {"双击文字", "重新编辑文字"},
                                      {"[、]、滚轮", "线宽"},
                                      {"Ctrl+Z", "撤销"},
                                      {"Ctrl+Shift+Z、Ctrl+Y", "重做"},
                                      {"Esc", "取消选中，放下工具；都无时退出"},
                                      {"Q", "退出截图（未保存的标注先询问）"},
                                      {"F1", "显示或隐藏本帮助"},
                                  };
    return all;
}

QString hint()
{
    return QStringLiteral("F1 查看按键");
}

// The widest of the keys' and of the descriptions' texts.
QSize columns(const QFontMetrics &metrics)
{
    QSize widest;
    for (const auto &[key, what] : rows())
        widest = widest.expandedTo(QSize(metrics.horizontalAdvance(key), metrics.horizontalAdvance(what)));
    return widest;
}

// Room for Chinese glyphs, which may come from a taller fallback face.
int lineStep(const QFontMetrics &metrics)
{
    return metrics.height() * 3 / 2;
}

} // namespace

KeyHelp::KeyHelp(qreal pixelsPerUnit)
    : m_margin(qRound(10 * pixelsPerUnit))
{
    m_font.setPixelSize(qRound(14 * pixelsPerUnit));
}

QRect KeyHelp::area(const QPoint &centre) const
{
    const QFontMetrics metrics(m_font);
    const QSize widest = columns(metrics);
    QRect box(0, 0, widest.width() + widest.height() + 3 * m_margin,
              int(rows().size()) * lineStep(metrics) + 2 * m_margin);
    box.moveCenter(centre);
    return box;
}

void KeyHelp::paint(QPainter &painter, const QPoint &centre, const QPoint &origin) const
{
    const QRect box = area(centre).translated(-origin);
    const QFontMetrics metrics(m_font);
    const int second = box.left() + 2 * m_margin + columns(metrics).width();
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.fillRect(box, QColor(32, 32, 32));
    painter.setPen(Qt::white);
    painter.setFont(m_font);
    int y = box.top() + m_margin + lineStep(metrics) - metrics.descent();
    for (const auto &[key, what] : rows()) {
        painter.drawText(QPoint(box.left() + m_margin, y), key);
        painter.drawText(QPoint(second, y), what);
        y += lineStep(metrics);
    }
    painter.restore();
}

QRect KeyHelp::hintArea(const QRect &screen) const
{
    const QFontMetrics metrics(m_font);
    QRect box(0, 0, metrics.horizontalAdvance(hint()) + m_margin, metrics.height() + m_margin / 2);
    box.moveCenter(QPoint(screen.center().x(), screen.top() + m_margin + box.height() / 2));
    return box;
}

void KeyHelp::paintHint(QPainter &painter, const QRect &screen, const QPoint &origin) const
{
    const QRect box = hintArea(screen).translated(-origin);
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    // Faint, so that it hides little of the picture.
    painter.fillRect(box, QColor(32, 32, 32, 160));
    painter.setPen(Qt::white);
    painter.setFont(m_font);
    painter.drawText(box, Qt::AlignCenter, hint());
    painter.restore();
}
