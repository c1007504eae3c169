#pragma once

namespace vardex::chart {

struct Range {
    double lo = 0;
    double hi = 0;
    double size() const { return hi - lo; }
    double centre() const { return (lo + hi) / 2; }
    bool contains(double x) const { return x >= lo && x <= hi; }
    friend bool operator==(const Range &, const Range &) = default;
};

} // namespace vardex::chart
