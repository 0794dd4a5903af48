#pragma once

#include "Mark.h"

#include <QWidget>

#include <optional>

class QAbstractButton;
class QButtonGroup;
class QHBoxLayout;
class QToolButton;
class QUndoStack;

/// The drawing part of the capture toolbar: a button per tool, a palette
/// with a custom colour, undo and redo. A click on the checked tool drops
/// it. The colour and width are kept across runs in the save dialog's
/// settings file, from which the controls start. The highlighter has a
/// colour of its own, a marker's yellow at first, kept for the run: the
/// palette shows and sets it while the highlighter is chosen.
class MarkControls : public QWidget
{
    Q_OBJECT

public:
    explicit MarkControls(QWidget *parent = nullptr);

    std::optional<MarkTool> tool() const { return m_tool; }
    /// The colour and width for a mark of the chosen tool.
    MarkStyle style() const;
    /// Keeps the undo and redo buttons enabled only while \a stack has a
    /// step to undo or redo.
    void watchUndoStack(QUndoStack *stack);

public slots:
    /// Shows \a tool as chosen, as when its key is pressed. Emits only
    /// styleChanged(), when the tool's colour differs from the last one's.
    void setTool(MarkTool tool);
    /// Shows no tool as chosen; emits as setTool().
    void dropTool();
    /// Takes \a width, bounded to the widths a mark may have, as when it is
    /// changed by key or wheel, and keeps it for the next run; emits
    /// styleChanged() when it changes.
    void setWidth(int width);

signals:
    void toolChosen(MarkTool tool);
    /// The chosen tool's button was clicked again.
    void toolDropped();
    void styleChanged(const MarkStyle &style);
    /// A colour was chosen from the palette or the colour dialog, even the
    /// one chosen already.
    void colourChosen(const QColor &colour);
    void undoRequested();
    void redoRequested();

private:
    QToolButton *addButton(const QIcon &icon, const QString &toolTip, const QString &name);
    void toolClicked(QAbstractButton *button);
    void showTool(std::optional<MarkTool> tool);
    void chooseCustomColour();
    void setColour(const QColor &colour);
    void showColour(const QColor &colour);
    void keepStyle();

    QHBoxLayout *m_row; ///< where addButton() puts the next button
    QButtonGroup *m_tools;
    QButtonGroup *m_colours;
    QToolButton *m_customColour;
    QToolButton *m_undo;
    QToolButton *m_redo;
    std::optional<MarkTool> m_tool;
    MarkStyle m_style; ///< for every tool but the highlighter
    QColor m_highlighterColour;
};
