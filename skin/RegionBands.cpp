#include "skin/RegionBands.h"

#include <QRect>
#include <algorithm>
#include <cstring>

void RegionBands::BeginRow(int y)
{
    row_ = y;
    rowFirst_ = runs_.size();
}

void RegionBands::AddRun(int left, int right)
{
    if (right <= left)
        return;
    runs_.push_back(left);
    runs_.push_back(right);
}

void RegionBands::EndRow()
{
    const size_t count = (runs_.size() - rowFirst_) / 2;
    if (count == 0)
        return;
    if (!bands_.empty()) {
        Band &last = bands_.back();
        const bool touches = last.bottom == row_ || last.top == row_ + 1;
        if (touches && last.count == count
            && std::memcmp(&runs_[last.first], &runs_[rowFirst_], count * 2 * sizeof(int)) == 0) {
            // Same runs as the neighbouring row: grow that band instead.
            if (last.bottom == row_)
                last.bottom = row_ + 1;
            else
                last.top = row_;
            runs_.resize(rowFirst_);
            return;
        }
    }
    bands_.push_back(Band{row_, row_ + 1, rowFirst_, count});
}

QRegion RegionBands::ToRegion() const
{
    std::vector<const Band *> order;
    order.reserve(bands_.size());
    for (const Band &b : bands_)
        order.push_back(&b);
    std::sort(order.begin(), order.end(), [](const Band *a, const Band *b) { return a->top < b->top; });

    std::vector<QRect> rects;
    rects.reserve(runs_.size() / 2);
    for (const Band *b : order) {
        for (size_t i = 0; i < b->count; ++i) {
            const int left = runs_[b->first + 2 * i];
            const int right = runs_[b->first + 2 * i + 1];
            rects.emplace_back(QPoint(left, b->top), QPoint(right - 1, b->bottom - 1));
        }
    }
    QRegion region;
    if (!rects.empty())
        region.setRects(rects.data(), int(rects.size()));
    return region;
}
