#pragma once
#include <QRegion>
#include <vector>

// Collects a region row by row as horizontal runs and turns it into a QRegion
// in one step. Adding rectangles to a QRegion one at a time costs O(n²) on
// large pictures; here rows with the same runs merge into one band, and the
// bands go to QRegion::setRects already in its canonical y-x banded form, so
// the result compares equal to a region built by unions.
class RegionBands {
public:
    // Starts image row y. Rows come one after another, all ascending or all
    // descending, each once.
    void BeginRow(int y);
    // Adds columns [left, right) to the current row; runs must come left to
    // right and must not touch or overlap. Empty runs are ignored.
    void AddRun(int left, int right);
    void EndRow();

    QRegion ToRegion() const;

private:
    struct Band {
        int top, bottom; // rows [top, bottom)
        size_t first, count; // its runs in runs_
    };
    std::vector<Band> bands_;
    std::vector<int> runs_; // left, right pairs
    size_t rowFirst_ = 0;
    int row_ = 0;
};
