#include "ConnectionLog.h"

#include <QTabWidget>

#include "IDEEnhance.h"
#include "IdLogDebug.h"
#include "NameBytes.h"
#include "RemoteName.h"

#include <QDateTime>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <utility>

TConnectionLog::TConnectionLog(QListWidget *list, TIdLogDebug &protocol)
    : FList(list), FProtocol(protocol), FMenu(new QMenu(list))
{
    FMenu->setObjectName("puLog");
    FMenu->setAccessibleName("Log");
    QAction *clear = FMenu->addAction("Clear Log");
    clear->setObjectName("ClearLog1");
    connect(clear, &QAction::triggered, this, &TConnectionLog::Clear);
    // The control connection's lines in the log, as every FTP client's
    // message log shows them; kept in the settings.
    FShowProtocol = FMenu->addAction("Show Protocol");
    FShowProtocol->setObjectName("ShowProtocol1");
    FShowProtocol->setCheckable(true);
    FShowProtocol->setChecked(true);
    connect(FShowProtocol, &QAction::toggled, this, [this](bool on) { FProtocol.SetActive(on); });
    FFlush.setSingleShot(true);
    connect(&FFlush, &QTimer::timeout, this, &TConnectionLog::Flush);
    // The view stays at the end while the list's later batches are laid
    // out, until the user scrolls.
    QScrollBar *bar = FList->verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (FFollow)
            bar->setValue(maximum);
    });
    connect(bar, &QScrollBar::actionTriggered, this, [this] { FFollow = false; });
    FList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { FMenu->popup(FList->viewport()->mapToGlobal(at)); });
}

bool TConnectionLog::ShowsProtocol() const
{
    return FShowProtocol->isChecked();
}

void TConnectionLog::SetShowsProtocol(bool on)
{
    FShowProtocol->setChecked(on);
}

void TConnectionLog::Add(const QString &message)
{
    QString entry = message;
    if (UseIDEHooks()) {
        const QLocale locale = QLocale::system();
        const QDateTime now = QDateTime::currentDateTime();
        // The long time without its zone name.
        const QString time = locale.timeFormat(QLocale::LongFormat).remove('t').trimmed();
        entry = locale.toString(now.date(), QLocale::ShortFormat) + ' ' + locale.toString(now.time(), time) + "| " +
                message;
    }
    FPending.append(entry);
    if (FFlush.isActive())
        return;
    // The first line after a quiet while shows at the next turn of the
    // event loop; more in the same tenth of a second wait for it to end.
    const qint64 since = FSinceFlush.isValid() ? FSinceFlush.elapsed() : FlushInterval;
    FFlush.start(int(std::max<qint64>(0, FlushInterval - since)));
}

void TConnectionLog::Flush()
{
    FFlush.stop();
    if (FPending.isEmpty())
        return;
    FSinceFlush.start();
    // Each entry knows its size: the list then lays itself out without
    // measuring every entry's text again, which a burst of protocol lines
    // would make take minutes.
    const QFontMetrics metrics(FList->font());
    static const QRegularExpression lineBreak("\r\n|\n|\r");
    for (const QString &entry : std::exchange(FPending, {})) {
        auto *item = new QListWidgetItem(entry);
        int width = 0;
        const QStringList lines = entry.split(lineBreak);
        for (const QString &line : lines)
            width = std::max(width, metrics.horizontalAdvance(line));
        item->setSizeHint(QSize(width + 8, int(lines.size()) * metrics.lineSpacing() + 2));
        FList->addItem(item);
    }
    if (const int over = FList->count() - MaxEntries; over > MaxEntries / 10)
        FList->model()->removeRows(0, over);
    // The last line is the current one, yet not shown as selected (the
    // user's selection stays as it is), and in sight.
    FList->setAutoScroll(false);
    FList->setCurrentRow(FList->count() - 1, QItemSelectionModel::NoUpdate);
    FList->setAutoScroll(true);
    FList->scrollToBottom();
    // A long list is laid out in batches after this: the bottom moves on.
    FFollow = true;
}

void TConnectionLog::Clear()
{
    FPending.clear();
    FList->clear();
}

void TConnectionLog::ProtocolItem(const std::string &AText)
{
    // One entry per protocol line: "Recv: 220-a<EOL>220 b<EOL>" becomes
    // "Recv: 220-a" and "Recv: 220 b". The connection's own comings and
    // goings are in the log already, from its status texts.
    // A line the last receive cut short waits for the rest, within one
    // connection.
    if (!AText.starts_with("Sent: ") && !AText.starts_with("Recv: "))
        FProtocolTail.clear();
    for (const char *direction : {"Sent: ", "Recv: "}) {
        if (!AText.starts_with(direction))
            continue;
        std::string text = AText.substr(6);
        const bool received = direction[0] == 'R';
        if (received) {
            text = FProtocolTail + text;
            const size_t end = text.rfind("<EOL>");
            FProtocolTail = end == std::string::npos ? text : text.substr(end + 5);
            text = end == std::string::npos ? std::string() : text.substr(0, end + 5);
        }
        // Names in the lines read in the site's charset.
        for (const QString &line : RemoteDisplayName(text).split("<EOL>", Qt::SkipEmptyParts))
            Add(direction + line);
    }
}


void TConnectionLog::BringToFront()
{
    Flush();
    for (QWidget *parent = FList->parentWidget(); parent; parent = parent->parentWidget())
        if (auto *pages = qobject_cast<QTabWidget *>(parent)) {
            pages->setCurrentWidget(FList);
            break;
        }
    if (FList->count() > 0) {
        FList->setCurrentRow(FList->count() - 1);
        FList->scrollToBottom();
    }
}
