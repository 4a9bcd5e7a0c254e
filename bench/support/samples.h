#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// Times in milliseconds from repeated runs, and the figures the benchmarks report on them.
class Samples {
public:
    void add(double ms) { m_values.push_back(ms); }
    std::size_t count() const { return m_values.size(); }
    double median() const
    {
        const std::vector<double> v = sorted();
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    // The value below which the given share of the times lie (0.95: the 95th percentile).
    double percentile(double share) const
    {
        const std::vector<double> v = sorted();
        return v[std::min(v.size() - 1, static_cast<std::size_t>(share * double(v.size())))];
    }
    double best() const { return *std::min_element(m_values.begin(), m_values.end()); }
    double worst() const { return *std::max_element(m_values.begin(), m_values.end()); }

private:
    std::vector<double> sorted() const
    {
        std::vector<double> v = m_values;
        std::sort(v.begin(), v.end());
        return v;
    }
    std::vector<double> m_values;
};
