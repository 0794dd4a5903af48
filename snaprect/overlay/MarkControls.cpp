#include "MarkControls.h"

#include "DeferredIcon.h"
#include "SaveSettings.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QConicalGradient>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QToolButton>
#include <QUndoStack>

namespace {

constexpr int iconSide = 64;

/// A tool's button, and the mark drawn as its picture.
struct ToolButton {
    MarkTool tool;
    const char *name;
    QList<QPoint> stroke;
    int width;
};

const ToolButton toolButtons[] = {
    {MarkTool::Pen, "btnPen", {{12, 46}, {20, 24}, {30, 38}, {40, 18}, {52, 28}}, 5},
    {MarkTool::Line, "btnLine", {{12, 52}, {52, 12}}, 5},
    {MarkTool::Arrow, "btnArrow", {{10, 54}, {54, 10}}, 4},
    {MarkTool::Rectangle, "btnRectangle", {{10, 16}, {53, 47}}, 5},
    {MarkTool::Ellipse, "btnEllipse", {{6, 14}, {57, 49}}, 5},
    {MarkTool::Highlighter, "btnHighlighter", {{12, 34}, {52, 30}}, 4},
    {MarkTool::Number, "btnNumber", {{31, 31}}, 10},
    {MarkTool::Mosaic, "btnMosaic", {{4, 4}, {59, 59}}, 6},
    {MarkTool::Redaction, "btnRedaction", {{8, 20}, {55, 43}}, 1},
    {MarkTool::Select, "btnSelect", {{18, 8}, {18, 50}, {28, 41}, {36, 57}, {44, 53}, {36, 38}, {49, 37}}, 0},
    {MarkTool::Text, "btnText", {{6, 4}}, 19},
};

struct PaletteColour {
    QRgb rgb;
    const char *name;
};

const QRgb markerYellow = qRgb(255, 230, 0);

const PaletteColour paletteColours[] = {
    {qRgb(255, 0, 0), "红色"},     {qRgb(255, 128, 0), "橙色"}, {markerYellow, "黄色"},
    {qRgb(0, 190, 0), "绿色"},     {qRgb(0, 128, 255), "蓝色"}, {qRgb(140, 0, 255), "紫色"},
    {qRgb(0, 0, 0), "黑色"},       {qRgb(255, 255, 255), "白色"},
};

const QColor iconInk(64, 64, 64);

/// A picture of \a button's tool: a mark of that tool itself, drawn over a
/// few lines of text for the highlighter and over a gradient for the mosaic.
QIcon drawToolIcon(const ToolButton &button)
{
    QImage ground(iconSide, iconSide, QImage::Format_ARGB32_Premultiplied);
    ground.fill(Qt::transparent);
    QPainter painter(&ground);
    // The select tool draws nothing: its picture is a pointer, its outline
    // the button's stroke.
    if (button.tool == MarkTool::Select) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(iconInk);
        painter.drawPolygon(QPolygon(button.stroke));
        painter.end();
        return QIcon(QPixmap::fromImage(ground));
    }
    if (button.tool == MarkTool::Highlighter) {
        for (int y : {24, 32, 40})
            painter.fillRect(QRect(8, y, 48, 3), iconInk);
    } else if (button.tool == MarkTool::Mosaic) {
        QLinearGradient gradient(0, 0, iconSide, iconSide);
        gradient.setColorAt(0, Qt::white);
        gradient.setColorAt(1, iconInk);
        painter.fillRect(ground.rect(), gradient);
    }
    const QColor colour = button.tool == MarkTool::Highlighter ? QColor(Qt::yellow) : iconInk;
    const MarkStyle style{colour, button.width};
    const std::unique_ptr<Mark> mark = button.tool == MarkTool::Text
        ? Mark::makeText(MarkText{QStringLiteral("文"), button.stroke.first(), style})
        : Mark::make(button.tool, style, button.stroke.first(), ground.copy());
    for (const QPoint &p : button.stroke.mid(1))
        mark->extend(p, Qt::NoModifier);
    mark->paint(painter, 1);
    painter.end();
    return QIcon(QPixmap::fromImage(ground));
}

// Drawn when the controls first show, after the overlay's first frame: the
// marks and the text's font take longer than the rest of the toolbar.
QIcon toolIcon(const ToolButton &button)
{
    return deferredIcon([button] { return drawToolIcon(button); });
}

QIcon arrowIcon(const QPoint &from, const QPoint &to)
{
    return toolIcon(ToolButton{MarkTool::Arrow, "", {from, to}, 5});
}

QIcon swatch(const QColor &colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(Qt::gray);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

QIcon colourWheel()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QConicalGradient hues(8, 8, 0);
    for (int i = 0; i <= 6; ++i)
        hues.setColorAt(i / 6.0, QColor::fromHsv(i * 60 % 360, 255, 255));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(hues);
    painter.drawEllipse(pixmap.rect());
    return QIcon(pixmap);
}

} // namespace

MarkControls::MarkControls(QWidget *parent)
    : QWidget(parent)
    , m_tools(new QButtonGroup(this))
    , m_colours(new QButtonGroup(this))
    , m_highlighterColour(markerYellow)
{
    // Two rows, the tools above the colours, so that the toolbar stays
    // narrow enough for a small screen at scale 2.
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(2);
    m_row = new QHBoxLayout;
    m_row->setSpacing(2);
    rows->addLayout(m_row);
    // Not exclusive: a click on the chosen tool unchecks it.
    m_tools->setExclusive(false);
    for (const ToolButton &button : toolButtons)
        m_tools->addButton(addButton(toolIcon(button), markTools().at(int(button.tool)).toolTip(), button.name),
                           int(button.tool));
    connect(m_tools, &QButtonGroup::buttonClicked, this, &MarkControls::toolClicked);
    m_row->addStretch();
    m_row = new QHBoxLayout;
    m_row->setSpacing(2);
    rows->addLayout(m_row);

    for (const PaletteColour &colour : paletteColours) {
        QToolButton *button = addButton(swatch(colour.rgb), QString::fromUtf8(colour.name), "btnColour");
        button->setIconSize(QSize(16, 16));
        m_colours->addButton(button);
        connect(button, &QToolButton::clicked, this, [this, colour] { setColour(colour.rgb); });
    }
    m_customColour = addButton(colourWheel(), QStringLiteral("自定义颜色"), "btnCustomColour");
    m_customColour->setIconSize(QSize(16, 16));
    m_colours->addButton(m_customColour);
    connect(m_customColour, &QToolButton::clicked, this, &MarkControls::chooseCustomColour);

    m_undo = addButton(arrowIcon(QPoint(54, 32), QPoint(10, 32)), QStringLiteral("撤销(Ctrl+Z)"), "btnUndo");
    m_redo = addButton(arrowIcon(QPoint(10, 32), QPoint(54, 32)), QStringLiteral("重做(Ctrl+Y)"), "btnRedo");
    m_undo->setCheckable(false);
    m_redo->setCheckable(false);
    connect(m_undo, &QToolButton::clicked, this, &MarkControls::undoRequested);
    connect(m_redo, &QToolButton::clicked, this, &MarkControls::redoRequested);

    SaveSettings settings;
    settings.load();
    m_style = MarkStyle{settings.markColour, qBound(MarkStyle::minimumWidth, settings.markWidth, MarkStyle::maximumWidth)};
    showColour(m_style.colour);
}

MarkStyle MarkControls::style() const
{
    return MarkStyle{m_tool == MarkTool::Highlighter ? m_highlighterColour : m_style.colour, m_style.width};
}

QToolButton *MarkControls::addButton(const QIcon &icon, const QString &toolTip, const QString &name)
{
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setToolTip(toolTip);
    button->setCheckable(true);
    button->setAutoRaise(true);
    // The overlay takes every key; a button must not keep one.
    button->setFocusPolicy(Qt::NoFocus);
    m_row->addWidget(button);
    return button;
}

void MarkControls::watchUndoStack(QUndoStack *stack)
{
    m_undo->setEnabled(stack->canUndo());
    m_redo->setEnabled(stack->canRedo());
    connect(stack, &QUndoStack::canUndoChanged, m_undo, &QToolButton::setEnabled);
    connect(stack, &QUndoStack::canRedoChanged, m_redo, &QToolButton::setEnabled);
}

void MarkControls::setTool(MarkTool tool)
{
    showTool(tool);
}

void MarkControls::dropTool()
{
    showTool(std::nullopt);
}

void MarkControls::showTool(std::optional<MarkTool> tool)
{
    const MarkStyle before = style();
    m_tool = tool;
    for (QAbstractButton *button : m_tools->buttons())
        button->setChecked(tool && m_tools->id(button) == int(*tool));
    showColour(style().colour);
    if (!(style() == before))
        emit styleChanged(style());
}

void MarkControls::toolClicked(QAbstractButton *button)
{
    const auto tool = MarkTool(m_tools->id(button));
    if (m_tool == tool) {
        dropTool();
        emit toolDropped();
    } else {
        setTool(tool);
        emit toolChosen(tool);
    }
}

void MarkControls::setWidth(int width)
{
    width = qBound(MarkStyle::minimumWidth, width, MarkStyle::maximumWidth);
    if (width == m_style.width)
        return;
    m_style.width = width;
    keepStyle();
}

void MarkControls::chooseCustomColour()
{
    const QColor colour = QColorDialog::getColor(style().colour, this, QStringLiteral("自定义颜色"));
    // Cancelled: the colour and its button stay as they were.
    if (colour.isValid())
        setColour(colour);
    else
        showColour(style().colour);
}

void MarkControls::setColour(const QColor &colour)
{
    showColour(colour);
    emit colourChosen(colour);
    if (colour == style().colour)
        return;
    if (m_tool == MarkTool::Highlighter) {
        m_highlighterColour = colour;
        emit styleChanged(style());
        return;
    }
    m_style.colour = colour;
    keepStyle();
}

void MarkControls::showColour(const QColor &colour)
{
    QAbstractButton *shown = m_customColour;
    int i = 0;
    for (const PaletteColour &entry : paletteColours) {
        if (entry.rgb == colour.rgb())
            shown = m_colours->buttons().at(i);
        ++i;
    }
    shown->setChecked(true);
    if (shown == m_customColour)
        m_customColour->setIcon(swatch(colour));
}

void MarkControls::keepStyle()
{
    // Read afresh, so that what the save dialog wrote since stays.
    SaveSettings settings;
    settings.load();
    settings.markColour = m_style.colour;
    settings.markWidth = m_style.width;
    settings.save();
    emit styleChanged(style());
}
