#pragma once

// Erlang B: the chance that a call finds every line busy, for traffic offered to a group of
// lines that turns blocked calls away. Used to size trunks and licences from the busy hour.
namespace calls {

// The blocking of `lines` lines offered `erlangs` of traffic, by the recurrence
// B(0) = 1, B(n) = A B(n-1) / (n + A B(n-1)), which stays exact where factorials overflow.
double ErlangB(double erlangs, int lines);

// The fewest lines whose blocking for the traffic is at most `blocking` (a fraction, 0.01 for
// 1 %); 0 for no traffic.
int LinesNeeded(double erlangs, double blocking);

} // namespace calls
