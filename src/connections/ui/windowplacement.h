#pragma once

class QWidget;

// Puts a top-level window in the middle of the screen it is on.
void CenterOnScreen(QWidget &window);
