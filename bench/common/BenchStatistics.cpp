#include "BenchStatistics.h"

#include <algorithm>

double BenchStatistics::percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const int index = std::clamp(int(p * (values.size() - 1) + 0.5), 0, int(values.size()) - 1);
    return values.at(index);
}
