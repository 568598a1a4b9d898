#include "erlangb.h"

#include <cmath>

namespace calls {

double ErlangB(double erlangs, int lines) {
    double blocked = 1.0;
    for (int n = 1; n <= lines; ++n)
        blocked = erlangs * blocked / (n + erlangs * blocked);
    return blocked;
}

int LinesNeeded(double erlangs, double blocking) {
    if (!(erlangs > 0) || !std::isfinite(erlangs))
        return 0;
    double blocked = 1.0;
    int lines = 0;
    // The blocking falls below any target once the lines outnumber the traffic by a few
    // standard deviations, so the loop ends after a little more than `erlangs` steps.
    while (blocked > blocking) {
        ++lines;
        blocked = erlangs * blocked / (lines + erlangs * blocked);
    }
    return lines;
}

} // namespace calls
