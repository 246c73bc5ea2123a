#pragma once

#include <vector>

// The middle value (of an even count, the upper of the two middle ones);
// `values` must not be empty.
double Median(std::vector<double> values);
