// The main window's size, place and pane division: fitted to the desktop's
// font on a first start, kept in the settings between runs.
#pragma once

#include <QPoint>
#include <QSize>

#include <vector>

class QSplitter;
class QWidget;
class TSettingsStore;

namespace WindowPlacement {

// A pane's property naming the key its division is kept under, where that
// is not its object name: the name settings files already hold.
inline constexpr const char *StoredAs = "storedAs";

// Sizes the window and its panes as designed at a 13-pixel font, grown in
// step with the desktop's font, never below what the contents ask for and
// started maximized when that does not fit on the screen; places it at
// `designedPlace` when it fits there, else in the middle of the screen.
void FitToFont(QWidget &window, QSize designedSize, QPoint designedPlace, const std::vector<QSplitter *> &panes);

void Save(TSettingsStore &store, const QWidget &window, const std::vector<QSplitter *> &panes);
// Values that are missing or that Qt cannot read leave things as they are.
void Restore(const TSettingsStore &store, QWidget &window, const std::vector<QSplitter *> &panes);

}  // namespace WindowPlacement
