// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVector>

#include <algorithm>

// Repeated measurements of one figure on a shared machine.
class Samples
{
public:
    void add(double value) { m_values.append(value); }
    bool isEmpty() const { return m_values.isEmpty(); }
    int size() const { return m_values.size(); }
    double median() const
    {
        if (m_values.isEmpty())
            return 0.0;
        QVector<double> sorted = m_values;
        std::sort(sorted.begin(), sorted.end());
        const int middle = sorted.size() / 2;
        return sorted.size() % 2 ? sorted.at(middle) : (sorted.at(middle - 1) + sorted.at(middle)) / 2.0;
    }
    double min() const { return m_values.isEmpty() ? 0.0 : *std::min_element(m_values.begin(), m_values.end()); }
    double max() const { return m_values.isEmpty() ? 0.0 : *std::max_element(m_values.begin(), m_values.end()); }

private:
    QVector<double> m_values;
};
