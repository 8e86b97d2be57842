#pragma once

class QMessageBox;

// Makes a message box wide enough for the window manager to show its whole title. A box is as
// narrow as its text, and a short text ("While", "Invalid folder") left room for "Ve...ix" only.
void KeepTitleWhole(QMessageBox& box);

// The width a title bar needs for `box`'s title: the title in a bold face of the box's font,
// and the room of the window icon and the bar's three buttons.
int TitleBarWidth(const QMessageBox& box);
