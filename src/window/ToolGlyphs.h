// The window's tool button glyphs, drawn from the SVG resources compiled
// into the program.
#pragma once

#include <QIcon>
#include <QPixmap>

#include <vector>

// ImageList1: 0 disconnect, 1 connect, 2 download, 3 upload, 4 new folder,
// 5 delete, 6 rename, 7 about, 8 up a folder.
std::vector<QIcon> ToolGlyphs();
QIcon ChangeFolderGlyph();
// The 32 x 32 picture of the about window.
QPixmap AboutPicture();
