#pragma once

#include "Mark.h"

#include <QWidget>

#include <optional>

class QAbstractButton;
class QButtonGroup;
class QToolButton;
class QUndoStack;

/// The drawing part of the capture toolbar: a button per tool, a palette
/// with a custom colour, undo and redo. A click on the checked tool drops
/// it. The colour and width are kept across runs in the save dialog's
/// settings file, from which the controls start.
class MarkControls : public QWidget
{
    Q_OBJECT

public:
    explicit MarkControls(QWidget *parent = nullptr);

    std::optional<MarkTool> tool() const { return m_tool; }
    MarkStyle style() const { return m_style; }
    /// Keeps the undo and redo buttons enabled only while \a stack has a
    /// step to undo or redo.
    void watchUndoStack(QUndoStack *stack);

public slots:
    /// Shows \a tool as chosen, as when its key is pressed; emits nothing.
    void setTool(MarkTool tool);
    /// Shows no tool as chosen; emits nothing.
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
    void undoRequested();
    void redoRequested();

private:
    QToolButton *addButton(const QIcon &icon, const QString &toolTip, const QString &name);
    void toolClicked(QAbstractButton *button);
    void chooseCustomColour();
    void setColour(const QColor &colour);
    void keepStyle();

    QButtonGroup *m_tools;
    QButtonGroup *m_colours;
    QToolButton *m_customColour;
    QToolButton *m_undo;
    QToolButton *m_redo;
    std::optional<MarkTool> m_tool;
    MarkStyle m_style;
};
