#pragma once

#include <QList>

class QWidget;

// Drops the clicks and key presses on the given controls (and their lists) that were made while
// the window was busy (a search or a self-test blocks it) and are still waiting to be delivered:
// each would otherwise start the same slow operation again as soon as the first one ends. Input
// for any other control (Show Chart, say) is delivered as usual.
void DiscardQueuedInput(const QList<QWidget*>& controls);
