#include "ConnectionLog.h"

#include "IDEEnhance.h"
#include "MainForm.h"
#include "NameBytes.h"

#include <QDateTime>
#include <QListWidget>
#include <QLocale>
#include <QRegularExpression>
#include <QTimer>

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
    // Each entry knows its size: the list then lays itself out without
    // measuring every entry's text again at each new one, which a burst of
    // protocol lines would make take minutes.
    auto *item = new QListWidgetItem(entry);
    const QFontMetrics metrics(F.lbConnection->font());
    int width = 0;
    static const QRegularExpression lineBreak("\r\n|\n|\r");
    const QStringList lines = entry.split(lineBreak);
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    item->setSizeHint(QSize(width + 8, int(lines.size()) * metrics.lineSpacing() + 2));
    F.lbConnection->addItem(item);
    // The current line at once, yet not shown as selected (the user's
    // selection stays as it is); scrolled to once per turn of the event loop.
    F.lbConnection->setAutoScroll(false);
    F.lbConnection->setCurrentRow(F.lbConnection->count() - 1, QItemSelectionModel::NoUpdate);
    F.lbConnection->setAutoScroll(true);
    if (!FScrollPending) {
        FScrollPending = true;
        QTimer::singleShot(0, &F, [this] {
            FScrollPending = false;
            F.lbConnection->scrollToBottom();
        });
    }
}

void TConnectionLog::Clear()
{
    F.lbConnection->clear();
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
        for (const QString &line : TextFromBytes(text).split("<EOL>", Qt::SkipEmptyParts))
            Add(direction + line);
    }
}

