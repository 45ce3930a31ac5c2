#pragma once

// The position of the node last chosen in the connection manager, counted in
// the fully expanded tree from the top; -1 until a node was chosen. It lives
// while the program runs, and every window that shows the connection tree
// starts from it.
int RememberedTreePosition();
void RememberTreePosition(int absoluteIndex);
