#include "SaveSettings.h"
#include "overlay/MarkControls.h"
#include "overlay/MarkDocument.h"
#include "overlay/MarkEditor.h"

#include <Pictures.h>

#include <QPainter>
#include <QToolButton>
#include <QtTest>

namespace {
const QSize captureSize(200, 120);
const QColor ink(10, 200, 30);

QList<QPoint> pointsOf(const QString &text)
{
    QList<QPoint> points;
    for (const QString &point : text.split('-'))
        points << QPoint(point.section(',', 0, 0).toInt(), point.section(',', 1).toInt());
    return points;
}

/// Draws the mark of \a step, a tool's key, "@" and the points of a drag
/// ("B@10,10-50,40"; a trailing "+" holds Shift), up to the release;
/// \a shown sees the area to repaint at each point.
void draw(MarkDocument &document, const QString &step, int width = 3,
          const std::function<void(const QRect &)> &shown = [](const QRect &) {})
{
    const QList<QPoint> points = pointsOf(step.mid(2).remove('+'));
    shown(document.begin(MarkTool(QString("PLABEMNXD").indexOf(step[0])), MarkStyle{ink, width}, points.first()));
    for (const QPoint &p : points.mid(1))
        shown(document.extend(p, step.endsWith('+') ? Qt::ShiftModifier : Qt::NoModifier));
}

/// Plays \a script on \a document: "undo", "redo", "del:I" (removes mark I),
/// "T@x,y:TEXT" (places a text there), "edit:I:T@x,y:TEXT" (puts it in the
/// place of mark I), a mark drawn as draw() draws it, and released, or with
/// \a editor "grab:" and a drag's points (a press, the moves, the release),
/// "nudge:x,y", "delete", "recolour" or "wider".
void play(MarkDocument &document, const QString &script, int width = 3, MarkEditor *editor = nullptr)
{
    for (const QString &step : script.split(' ', Qt::SkipEmptyParts)) {
        const QList<QPoint> points = pointsOf(step.section(':', 1));
        const QString text = step.section("T@", 1);
        auto mark = Mark::makeText(MarkText{text.section(':', 1), pointsOf(text.section(':', 0, 0)).first(), {ink, width}});
        if (step.startsWith("T@"))
            document.place(std::move(mark));
        else if (step.startsWith("edit:"))
            document.replace(step.section(':', 1, 1).toInt(), std::move(mark));
        else if (step.startsWith("grab:")) {
            editor->press(points.first(), MarkEditor::grabRadius(1, 1));
            for (const QPoint &p : points.mid(1))
                editor->dragTo(p);
            editor->release();
        } else if (step.startsWith("nudge:"))
            editor->nudge(points.first());
        else if (step == "delete")
            editor->removeSelected();
        else if (step == "recolour")
            editor->recolour(Qt::blue);
        else if (step == "wider")
            editor->widen(2);
        else if (step == "undo")
            document.undoStack()->undo();
        else if (step == "redo")
            document.undoStack()->redo();
        else if (step.startsWith("del:"))
            document.remove(step.mid(4).toInt());
        else {
            draw(document, step, width);
            document.finish();
        }
    }
}
} // namespace

// Marks drawn over a capture whose every pixel tells its position, checked
// pixel by pixel in what would be saved.
class tst_Marks : public QObject
{
    Q_OBJECT

    const QImage m_capture = patternPicture(captureSize);
    QTemporaryDir m_home;

    QImage marked(const QString &script, int width = 3) const
    {
        MarkDocument document;
        document.setCapture(m_capture);
        play(document, script, width);
        return document.picture(m_capture.rect());
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path())); }

    void straightEdgesCoverWholePixels_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("width");
        QTest::addColumn<QRect>("outer"); // every pixel in it inked...
        QTest::addColumn<QRect>("inner"); // ...but those in this; all others untouched
        QTest::newRow("width-1 horizontal line") << "L@10,20-50,20" << 1 << QRect(10, 20, 41, 1) << QRect();
        QTest::newRow("width-4 vertical line") << "L@30,40-30,10" << 4 << QRect(28, 8, 4, 34) << QRect();
        QTest::newRow("Shift takes a shallow line level") << "L@10,20-60,28+" << 1 << QRect(10, 20, 51, 1) << QRect();
        QTest::newRow("rectangle, width 3") << "B@20,10-60,40" << 3 << QRect(20, 10, 41, 31) << QRect(23, 13, 35, 25);
        QTest::newRow("Shift makes a square") << "B@60,10-20,30+" << 1 << QRect(20, 10, 41, 41) << QRect(21, 11, 39, 39);
        QTest::newRow("redaction dragged up and left") << "D@30,12-5,5" << 7 << QRect(5, 5, 26, 8) << QRect();
    }
    void straightEdgesCoverWholePixels()
    {
        QFETCH(QString, script);
        QFETCH(int, width);
        QFETCH(QRect, outer);
        QFETCH(QRect, inner);
        const QImage marked = this->marked(script, width);
        for (int y = 0; y < captureSize.height(); ++y) {
            for (int x = 0; x < captureSize.width(); ++x) {
                const bool inked = outer.contains(x, y) && !inner.contains(x, y);
                if (marked.pixel(x, y) != (inked ? ink.rgb() : m_capture.pixel(x, y)))
                    QFAIL(qPrintable(QString("%1,%2 should be %3").arg(x).arg(y).arg(inked ? "inked" : "untouched")));
            }
        }
    }

    void mosaicBlocksAreEachTheMeanUnderThem_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<int>>("columns"); // the blocks' edges, the last one past the box
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("narrow pen, 12-pixel blocks")
            << "X@10,10-69,45" << 3 << QList<int>{10, 22, 34, 46, 58, 70} << QList<int>{10, 22, 34, 46};
        QTest::newRow("the leftover joins the block far from the start")
            << "X@13,7-40,36" << 1 << QList<int>{13, 25, 41} << QList<int>{7, 19, 37};
        QTest::newRow("wide pen, dragged up and left, from the start's side")
            << "X@100,80-10,5" << 10 << QList<int>{10, 41, 71, 101} << QList<int>{5, 51, 81};
        QTest::newRow("box smaller than a block, one colour")
            << "X@50,50-55,52" << 3 << QList<int>{50, 56} << QList<int>{50, 53};
    }
    void mosaicBlocksAreEachTheMeanUnderThem()
    {
        QFETCH(QString, script);
        QFETCH(int, width);
        QFETCH(QList<int>, columns);
        QFETCH(QList<int>, rows);
        QImage expected = m_capture.copy();
        for (qsizetype j = 0; j + 1 < rows.size(); ++j) {
            for (qsizetype i = 0; i + 1 < columns.size(); ++i) {
                const QRect block(QPoint(columns[i], rows[j]), QPoint(columns[i + 1] - 1, rows[j + 1] - 1));
                int sum[3] = {0, 0, 0};
                for (int y = block.top(); y <= block.bottom(); ++y) {
                    for (int x = block.left(); x <= block.right(); ++x) {
                        const QRgb pixel = m_capture.pixel(x, y);
                        sum[0] += qRed(pixel), sum[1] += qGreen(pixel), sum[2] += qBlue(pixel);
                    }
                }
                const int n = block.width() * block.height();
                QPainter(&expected).fillRect(block, QColor((sum[0] + n / 2) / n, (sum[1] + n / 2) / n, (sum[2] + n / 2) / n));
            }
        }
        QCOMPARE(marked(script, width), expected);
    }

    void highlighterKeepsDarkTextDark()
    {
        QImage page(captureSize, QImage::Format_RGB32);
        page.fill(Qt::white);
        page.setPixel(50, 60, qRgb(0, 0, 0));
        MarkDocument document;
        document.setCapture(page);
        play(document, "M@10,60-100,61-20,62");
        const QImage marked = document.picture(page.rect());
        QCOMPARE(marked.pixel(50, 60), qRgb(0, 0, 0));
        // Where the stroke crosses itself, tinted no more than where it does not.
        QCOMPARE(marked.pixel(60, 60), marked.pixel(12, 60));
        QVERIFY(qRed(marked.pixel(60, 60)) > 100 && qRed(marked.pixel(60, 60)) < 200);
    }

    void stepsMatchTheMarksThatRemain_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("remaining"); // the same picture, placed afresh
        QTest::newRow("undo back to nothing is the capture") << "B@10,10-50,40 N@80,30 P@5,5-60,90-90,20 undo undo undo" << "";
        QTest::newRow("removing the second of three numbers renumbers the third")
            << "N@20,20 N@60,20 X@40,40-90,90 N@100,20 del:1" << "N@20,20 X@40,40-90,90 N@100,20";
        QTest::newRow("undoing the removal numbers them as before")
            << "N@20,20 N@60,20 N@100,20 del:1 undo" << "N@20,20 N@60,20 N@100,20";
        QTest::newRow("redo after undo")
            << "N@20,20 E@40,40-90,70 M@10,80-150,85 undo undo redo redo" << "N@20,20 E@40,40-90,70 M@10,80-150,85";
        QTest::newRow("a mark after an undo drops the step undone") << "N@20,20 N@60,20 undo N@100,20 redo" << "N@20,20 N@100,20";
        QTest::newRow("clicks with tools that need a drag place nothing") << "B@30,30 L@40,40 X@9,9 D@1,1 A@5,5" << "";
        QTest::newRow("a mark under a removed one shows again") << "A@10,100-150,20 D@60,30-120,90 del:1" << "A@10,100-150,20";
        QTest::newRow("a drag moves a mark in one step")
            << "B@20,20-80,60 E@100,20-150,60 grab:20,40-30,50-45,70 undo" << "B@20,20-80,60 E@100,20-150,60";
        QTest::newRow("moved, a mosaic shows what lies under it there, above what it was above")
            << "B@100,80-150,110 X@10,10-60,40 grab:30,20-130,60" << "B@100,80-150,110 X@110,50-160,80";
        QTest::newRow("a corner handle resizes, the far corner stays")
            << "B@20,20-80,60 grab:20,40 grab:80,60-100,90-110,95" << "B@20,20-110,95";
        QTest::newRow("a side dragged past the other turns the mosaic's blocks")
            << "X@20,20-80,60 grab:20,40 grab:50,20-50,90" << "X@20,60-80,90";
        QTest::newRow("a line's start dragged past its end")
            << "L@10,100-150,20 grab:80,60 grab:10,100-170,110" << "L@170,110-150,20";
        QTest::newRow("a stroke scales with its box") << "P@10,10-30,30-50,10 grab:30,30 grab:50,30-90,50" << "P@10,10-50,50-90,10";
        QTest::newRow("a number moves") << "N@40,40 grab:40,40-60,70" << "N@60,70";
        QTest::newRow("nudges, each a step") << "B@20,20-80,60 grab:20,40 nudge:1,0 nudge:10,1 undo" << "B@21,20-81,60";
        QTest::newRow("deleted, the numbers after it follow")
            << "N@20,20 N@60,20 N@100,20 grab:60,20 delete" << "N@20,20 N@100,20";
        QTest::newRow("recoloured and widened, each a step") << "E@40,40-90,70 grab:40,55 recolour wider undo undo"
                                                             << "E@40,40-90,70";
        QTest::newRow("texts of several lines, replaced and undone") << "T@10,10:你好\ngy N@60,20 edit:0:T@30,60:ab\n\n长j undo"
                                                                   << "T@10,10:你好\ngy N@60,20";
        QTest::newRow("a text replaced, redone, numbers unchanged") << "N@20,20 T@10,10:x N@60,20 edit:1:T@5,85:Wj字 undo redo"
                                                                  << "N@20,20 T@5,85:Wj字 N@60,20";
        QTest::newRow("an empty text places nothing") << "T@10,10: T@30,30:\n" << "";
        QTest::newRow("a text moves whole, between its lines too") << "T@10,10:ab\n你 grab:14,30-40,60" << "T@36,40:ab\n你";
    }
    void stepsMatchTheMarksThatRemain()
    {
        QFETCH(QString, script);
        QFETCH(QString, remaining);
        MarkDocument document;
        document.setCapture(m_capture);
        MarkEditor editor(&document);
        // Each step changes no pixel beyond the areas it announces.
        QRegion announced;
        connect(&document, &MarkDocument::changed, this, [&](const QRect &area) { announced += area; });
        for (const QString &step : script.split(' ')) {
            const QImage before = document.picture(m_capture.rect());
            announced = QRegion();
            play(document, step, 3, &editor);
            const QImage after = document.picture(m_capture.rect());
            for (int y = 0; y < captureSize.height(); ++y) {
                for (int x = 0; x < captureSize.width(); ++x)
                    QVERIFY2(before.pixel(x, y) == after.pixel(x, y) || announced.contains(QPoint(x, y)), qPrintable(step));
            }
        }
        QCOMPARE(document.isEmpty(), remaining.isEmpty());
        QCOMPARE(document.picture(m_capture.rect()), remaining.isEmpty() ? m_capture : marked(remaining));
    }

    void pickingFindsTheMarkUnderThePointer_data()
    {
        QTest::addColumn<QPoint>("p");
        QTest::addColumn<int>("index");
        QTest::newRow("a rectangle's edge") << QPoint(10, 30) << 0;
        QTest::newRow("inside a rectangle's outline") << QPoint(35, 30) << -1;
        QTest::newRow("an ellipse's outline") << QPoint(80, 35) << 1;
        QTest::newRow("inside an ellipse's outline") << QPoint(115, 35) << -1;
        QTest::newRow("a number") << QPoint(103, 92) << 2;
        QTest::newRow("a stroke") << QPoint(35, 95) << 3;
        QTest::newRow("beside a slanting line") << QPoint(170, 87) << 4;
        QTest::newRow("a redaction over a rectangle") << QPoint(40, 10) << 5;
        QTest::newRow("a text, between its lines") << QPoint(164, 26) << 6;
        QTest::newRow("beside a text") << QPoint(185, 10) << -1;
    }
    void pickingFindsTheMarkUnderThePointer()
    {
        QFETCH(QPoint, p);
        QFETCH(int, index);
        MarkDocument document;
        document.setCapture(m_capture);
        play(document, "B@10,10-60,50 E@80,10-150,60 N@100,90 P@10,80-60,110 L@150,100-190,70 D@30,5-50,15 T@160,5:a\nb");
        QCOMPARE(document.markAt(p), index);
    }

    // A handle of a selected mark grabs as far off at every scale, in
    // device pixels, which the capture's are.
    void handleGrabsAtTheSameDevicePixelDistance_data()
    {
        QTest::addColumn<qreal>("scale");
        for (const qreal scale : {1.0, 1.5, 2.0})
            QTest::addRow("scale %g", scale) << scale;
    }
    void handleGrabsAtTheSameDevicePixelDistance()
    {
        QFETCH(qreal, scale);
        MarkDocument document;
        document.setCapture(m_capture);
        play(document, "B@20,20-80,60");
        MarkEditor editor(&document);
        const int radius = MarkEditor::grabRadius(scale, scale);
        editor.select(0);
        QVERIFY(editor.press(QPoint(86, 54), radius));
        editor.select(0);
        QVERIFY(!editor.press(QPoint(87, 60), radius));
    }

    void surfaceShowsWhatIsSaved_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QPoint>("origin");
        QTest::newRow("scale 1") << 1.0 << QPoint(0, 0);
        QTest::newRow("scale 1.5, a screen at an odd pixel") << 1.5 << QPoint(37, 21);
        QTest::newRow("scale 2") << 2.0 << QPoint(10, 4);
    }
    // The overlay shows the placed marks from the layer and, at each step of
    // a drag, repaints the area that the step changed: the layer there and
    // the mark in progress over it, through a painter that maps the
    // capture's pixels onto a screen's own. What is saved after the release
    // is what was shown.
    void surfaceShowsWhatIsSaved()
    {
        QFETCH(qreal, scale);
        QFETCH(QPoint, origin);
        MarkDocument document;
        document.setCapture(m_capture);
        play(document, "L@12,15-140,90 E@20,20-90,70 X@100,10-180,60 M@10,100-150,110 N@60,60 A@150,100-30,30");
        QImage surface(captureSize - QSize(origin.x(), origin.y()), QImage::Format_RGB32);
        surface.setDevicePixelRatio(scale);
        const QRect shown(origin, surface.size());
        QPainter painter(&surface);
        painter.setTransform(QTransform::fromScale(1 / scale, 1 / scale).translate(-origin.x(), -origin.y()));
        document.paintMarked(painter, shown);
        for (const QString step : {"P@30,30-60,80-120,31-121,90-10,60-70,70", "N@120,70-90,50", "M@140,20-20,60-150,25",
                                   "X@20,20-90,100-60,70"}) {
            draw(document, step, 3, [&](const QRect &area) {
                painter.setClipRect(area);
                document.paintMarked(painter, area);
                document.paintCurrent(painter);
            });
            document.finish();
            QImage seen = surface.copy();
            seen.setDevicePixelRatio(1);
            QCOMPARE(seen, document.picture(shown));
        }
    }

    // A click on the chosen tool drops it; the highlighter's colour is its
    // own; the others' colour and the width outlive the controls, beside
    // what the save dialog keeps in the same file.
    void controlsKeepTheirChoices()
    {
        SaveSettings saved;
        saved.folder = m_home.path();
        QVERIFY(saved.save());
        {
            MarkControls controls;
            QCOMPARE(controls.style(), MarkStyle{});
            QSignalSpy chosen(&controls, &MarkControls::toolChosen), dropped(&controls, &MarkControls::toolDropped);
            QSignalSpy styled(&controls, &MarkControls::styleChanged);
            const auto click = [&](const char *name, int index = 0) {
                controls.findChildren<QToolButton *>(name).at(index)->click();
            };
            click("btnPen");
            click("btnPen");
            QCOMPARE(chosen.count(), 1);
            QCOMPARE(dropped.count(), 1);
            QVERIFY(!controls.tool());
            click("btnHighlighter");
            QCOMPARE(controls.style().colour, QColor(255, 230, 0));
            click("btnColour", 3);
            click("btnPen");
            QCOMPARE(controls.style(), MarkStyle{});
            click("btnColour", 4);
            controls.setWidth(99);
            QCOMPARE(styled.count(), 5);
        }
        QCOMPARE(MarkControls().style(), (MarkStyle{QColor(0, 128, 255), MarkStyle::maximumWidth}));
        saved.load();
        QCOMPARE(saved.folder, m_home.path());
    }
};

QTEST_MAIN(tst_Marks)
#include "tst_marks.moc"
