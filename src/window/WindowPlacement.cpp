#include "WindowPlacement.h"

#include "SettingsStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QWidget>

#include <algorithm>

namespace WindowPlacement {

namespace {

const QString GeometryKey = "WindowPlacement";

QString PaneKey(const QSplitter *pane)
{
    const QVariant storedAs = pane->property(StoredAs);
    return "Panes/" + (storedAs.isValid() ? storedAs.toString() : pane->objectName());
}

}  // namespace

void FitToFont(QWidget &window, QSize designedSize, QPoint designedPlace, const std::vector<QSplitter *> &panes)
{
    const double scale = std::max(1.0, window.fontMetrics().height() / 13.0);
    for (QSplitter *pane : panes) {
        QList<int> sizes = pane->sizes();
        for (int &size : sizes)
            size = int(size * scale);
        pane->setSizes(sizes);
    }
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 14, 1 << 14);
    const QSize wanted = (designedSize * scale).expandedTo(window.sizeHint());
    // Too big for the screen with its frame: it starts maximized, and
    // comes back from that a little smaller than the screen.
    const QSize frame(16, 2 * window.fontMetrics().height() + 16);
    if (wanted.width() + frame.width() > room.width() || wanted.height() + frame.height() > room.height()) {
        window.resize((room.size() * 0.85).expandedTo(window.minimumSizeHint()).boundedTo(room.size()));
        window.move(room.center() - window.rect().center());
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
        return;
    }
    window.resize(wanted);
    QRect place(designedPlace, window.size());
    if (!room.contains(place))
        place.moveCenter(room.center());
    window.move(place.topLeft());
}

void Save(TSettingsStore &store, const QWidget &window, const std::vector<QSplitter *> &panes)
{
    store.WriteString(GeometryKey, QString::fromLatin1(window.saveGeometry().toBase64()));
    for (const QSplitter *pane : panes)
        store.WriteString(PaneKey(pane), QString::fromLatin1(pane->saveState().toBase64()));
}

void Restore(const TSettingsStore &store, QWidget &window, const std::vector<QSplitter *> &panes)
{
    const QString geometry = store.ReadString(GeometryKey, {});
    if (!geometry.isEmpty())
        window.restoreGeometry(QByteArray::fromBase64(geometry.toLatin1()));
    for (QSplitter *pane : panes) {
        const QString state = store.ReadString(PaneKey(pane), {});
        if (!state.isEmpty())
            pane->restoreState(QByteArray::fromBase64(state.toLatin1()));
    }
}

}  // namespace WindowPlacement
