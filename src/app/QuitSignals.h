// SIGTERM, SIGINT and SIGHUP close the main window as the user would, so
// the settings are saved and a transfer ends cleanly (a session that ends
// sends SIGTERM).
#pragma once

class QWidget;

namespace QuitSignals {

// Closes `window` when one of the signals comes; call once, after the
// application object exists.
void CloseOnSignal(QWidget *window);

}  // namespace QuitSignals
