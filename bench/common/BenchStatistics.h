#pragma once

#include <QList>

/*! Summaries of measured values. */
class BenchStatistics
{
public:
    /*! The value at fraction \a p (0 = smallest, 1 = largest) of \a values, nearest rank. */
    static double percentile(QList<double> values, double p);
    static double median(const QList<double> &values) { return percentile(values, 0.5); }
};
