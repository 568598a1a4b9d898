#pragma once

// Drops the clicks and key presses that were made while the window was busy (a search or a
// self-test blocks it) and are still waiting to be delivered: each would otherwise start the
// same slow operation again as soon as the first one ends.
void DiscardQueuedInput();
