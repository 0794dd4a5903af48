#include "overlay/Selection.h"

#include <QtTest>

// The selection's rules on a desktop of 100 x 80 pixels, in-process.
class tst_Selection : public QObject
{
    Q_OBJECT

private slots:
    // Each row: steps "press|drag|shift|resize x,y", "press x,y R" (edges
    // within R pixels grab), "shape x,y R NAME" (the pointer's shape there)
    // and "release", and the box that results.
    void rules_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QRect>("box");
        const QString drawn = "press 10,10;drag 30,30;release;";
        QTest::newRow("the first column is the left edge, which stops a pixel short of the right")
            << drawn + "press 10,15;drag 40,40" << QRect(29, 10, 1, 20);
        QTest::newRow("an edge follows the pointer back from the stop")
            << drawn + "press 7,15 3;drag 40,40;drag 12,12" << QRect(15, 10, 15, 20);
        QTest::newRow("beyond the reach starts anew") << drawn + "press 6,15 3;drag 40,40" << QRect(6, 15, 34, 25);
        QTest::newRow("corners held at the desktop's edges")
            << drawn + "press 8,12 3;drag -50,-50;release;press 33,27 3;drag 500,500" << QRect(0, 0, 100, 80);
        QTest::newRow("inside a small one the reach leaves a middle to move")
            << "press 10,10;drag 18,18;release;press 12,12 3;drag 11,11;press 14,14 3;drag 15,15" << QRect(10, 10, 9, 9);
        QTest::newRow("the shapes at the frame")
            << drawn + "shape 7,7 3 SizeFDiag;shape 32,7 3 SizeBDiag;shape 31,20 3 SizeHor;shape 20,33 3 SizeVer;"
                       "shape 13,20 3 SizeHor;shape 14,20 3 SizeAll;shape 34,20 3 Cross"
            << QRect(10, 10, 20, 20);
        QTest::newRow("last column is inside") << drawn + "press 29,29;drag 31,33" << QRect(12, 14, 20, 20);
        QTest::newRow("one pixel wide, the nearer edge") << "press 10,10;drag 11,30;release;press 12,20 3;drag 50,50"
                                                          << QRect(10, 10, 39, 20);
        QTest::newRow("held at the top left at full size") << drawn + "press 20,20;drag -50,-60" << QRect(0, 0, 20, 20);
        QTest::newRow("back from the right edge at once") << drawn + "press 29,29;drag 200,29;drag 190,29"
                                                          << QRect(70, 10, 20, 20);
        QTest::newRow("keys stop at the bottom right") << drawn + "shift 100,100" << QRect(80, 60, 20, 20);
        QTest::newRow("a click keeps the rectangle, still to move") << drawn + "press 50,50;release;press 20,20;drag 25,25"
                                                                    << QRect(15, 15, 20, 20);
        QTest::newRow("a drag back to no height shows what was before") << drawn + "press 50,50;drag 60,60;drag 70,50"
                                                                        << QRect(10, 10, 20, 20);
        QTest::newRow("a drag of no width selects nothing") << "press 10,10;drag 10,30;release" << QRect(-1, -1, 0, 0);
        QTest::newRow("edges never below a pixel nor past the desktop")
            << "press 90,70;drag 95,75;release;resize -20,-20;resize 50,50" << QRect(90, 70, 10, 10);
    }

    void rules()
    {
        QFETCH(QString, steps);
        QFETCH(QRect, box);
        Selection selection(QSize(100, 80));
        for (const QString &step : steps.split(';')) {
            const QString what = step.section(' ', 0, 0), at = step.section(' ', 1, 1);
            const QPoint p(at.section(',', 0, 0).toInt(), at.section(',', 1).toInt());
            const int reach = step.section(' ', 2, 2).toInt();
            if (what == "press")
                selection.press(p, reach);
            else if (what == "shape")
                QCOMPARE(QMetaEnum::fromType<Qt::CursorShape>().valueToKey(selection.shapeAt(p, reach)),
                         step.section(' ', 3) + "Cursor");
            else if (what == "drag")
                selection.dragTo(p);
            else if (what == "release")
                selection.release();
            else
                what == "shift" ? selection.shift(p) : selection.resize(p);
        }
        QCOMPARE(selection.box(), box);
    }
};

QTEST_GUILESS_MAIN(tst_Selection)
#include "tst_selection.moc"
