// The layout arithmetic and its two failure policies, on a recording target.

#include "shell/layout.h"

#include <QTest>
#include <cmath>
#include <map>

using namespace lumora::shell;

namespace {

// Controls as plain numbers; lengths refuse negative values like real controls do.
// With `wholePixels` the browser's width is kept in whole pixels, as a real widget keeps it.
class RecordingTarget final : public LayoutTarget
{
public:
    float inner = 21600;
    float outer = 13500;
    bool wholePixels = false;

    float width = 18135, height = 12255, left = 120, top = 120;
    std::map<ColumnControl, float> column;
    float popupWidth = 5895, popupHeight = 6255, popupTop = 3960, popupLeft = 3480;
    int repaints = 0;

    float innerWidth() const override { return inner; }
    float outerHeight() const override { return outer; }
    float frame1Width() const override { return 2775; }

    bool setBrowserWidth(float w) override
    {
        if (w < 0)
            return false;
        width = wholePixels ? std::round(w / kTwipsPerPixel) * kTwipsPerPixel : w;
        return true;
    }
    bool setBrowserHeight(float h) override { return setLength(height, h); }
    float browserLeft() const override { return left; }
    float browserTop() const override { return top; }
    float browserWidth() const override { return width; }
    float browserHeight() const override { return height; }
    bool setColumnLeft(ColumnControl c, float l) override
    {
        column[c] = l;
        return true;
    }
    bool setPopupWidth(float w) override { return setLength(popupWidth, w); }
    bool setPopupHeight(float h) override { return setLength(popupHeight, h); }
    bool setPopupTop(float t) override { return setLength(popupTop, t); }
    bool setPopupLeft(float l) override { return setLength(popupLeft, l); }
    void repaint() override { ++repaints; }

private:
    static bool setLength(float& target, float value)
    {
        if (value < 0)
            return false;
        target = value;
        return true;
    }
};

const ColumnControl kColumn[] = {ColumnControl::Frame1, ColumnControl::Frame2,
                                 ColumnControl::Frame3, ColumnControl::Command2,
                                 ColumnControl::Command16};

} // namespace

class LayoutTest : public QObject
{
    Q_OBJECT
private slots:
    void fullWidth_browserAndColumn();
    void wholePixels_columnFollowsTheRoundedWidth();
    void minimised_resizeSkipsFailingSteps();
    void minimised_activateStopsAtFirstFailure();
    void tooNarrow_browserKeepsWidth_popupStillCovers();
};

void LayoutTest::fullWidth_browserAndColumn()
{
    RecordingTarget t;
    QVERIFY(runLayout(t, LayoutPolicy::StepOver));
    QCOMPARE(t.width, 18625.0f);
    QCOMPARE(t.height, 12900.0f);
    for (const ColumnControl c : kColumn)
        QCOMPARE(t.column.at(c), 18755.0f);
    // The pop-up lies exactly over the browser.
    QCOMPARE(t.popupWidth, t.width);
    QCOMPARE(t.popupHeight, t.height);
    QCOMPARE(t.popupTop, 120.0f);
    QCOMPARE(t.popupLeft, 120.0f);
    QCOMPARE(t.repaints, 1);
}

void LayoutTest::wholePixels_columnFollowsTheRoundedWidth()
{
    RecordingTarget t;
    t.wholePixels = true;
    QVERIFY(runLayout(t, LayoutPolicy::StepOver));
    // 18625 twips is 1241.67 pixels; the widget holds 1242, so the column moves with it.
    QCOMPARE(t.width, 18630.0f);
    QCOMPARE(t.column.at(ColumnControl::Command16), 18760.0f);
}

void LayoutTest::minimised_resizeSkipsFailingSteps()
{
    RecordingTarget t;
    QVERIFY(runLayout(t, LayoutPolicy::StepOver));
    t.inner = 0;   // minimised: no inner area
    t.outer = 450; // and an outer height below the reserve
    QVERIFY(!runLayout(t, LayoutPolicy::StepOver));
    // Width and height keep their values; everything else is placed from them again.
    QCOMPARE(t.width, 18625.0f);
    QCOMPARE(t.height, 12900.0f);
    QCOMPARE(t.column.at(ColumnControl::Frame3), 18755.0f);
    QCOMPARE(t.popupWidth, 18625.0f);
    QCOMPARE(t.repaints, 2);
}

void LayoutTest::minimised_activateStopsAtFirstFailure()
{
    RecordingTarget t;
    t.inner = 1000;
    QVERIFY(!runLayout(t, LayoutPolicy::Guarded));
    QCOMPARE(t.width, 18135.0f);  // refused
    QCOMPARE(t.height, 12255.0f); // never reached
    QVERIFY(t.column.empty());
    QCOMPARE(t.popupWidth, 5895.0f);
    QCOMPARE(t.repaints, 0);
}

void LayoutTest::tooNarrow_browserKeepsWidth_popupStillCovers()
{
    RecordingTarget t;
    t.inner = 2974; // one twip short of the column and its reserve
    QVERIFY(!runLayout(t, LayoutPolicy::StepOver));
    QCOMPARE(t.width, 18135.0f);
    QCOMPARE(t.column.at(ColumnControl::Frame1), 18265.0f);
    QCOMPARE(t.popupWidth, 18135.0f);
    QCOMPARE(t.popupHeight, t.height);
    t.inner = 2975; // exactly enough: a browser of width 0
    QVERIFY(runLayout(t, LayoutPolicy::StepOver));
    QCOMPARE(t.width, 0.0f);
    QCOMPARE(t.column.at(ColumnControl::Frame2), 130.0f);
}

QTEST_GUILESS_MAIN(LayoutTest)
#include "tst_layout.moc"
