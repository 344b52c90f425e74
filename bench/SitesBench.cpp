// The saved sites at scale: a FileZilla list of N sites in nested folders
// read and written, and the settings store written and read as the window
// does at each save and start; and a window's save as it changes, one site
// merged into the file as it is. Prints figures; asserts nothing.
#include "FileZillaSites.h"
#include "SettingsMerge.h"
#include "SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QByteArray List(int count)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FileZilla3><Servers>";
    for (int i = 0; i < count; ++i) {
        if (i % 25 == 0)
            xml += (i ? "</Folder>" : "") + QByteArray("<Folder>Clients ") + QByteArray::number(i / 25);
        xml += "<Server><Host>host" + QByteArray::number(i) + ".example</Host><Port>21</Port><Protocol>" +
               QByteArray::number(i % 2 ? 1 : 4) + "</Protocol><User>user</User><Pass encoding=\"base64\">cHc=</Pass>"
               "<Logontype>1</Logontype><Name>Site " + QByteArray::number(i) +
               "</Name><RemoteDir>1 0 3 www 4 html</RemoteDir><Comments>a comment</Comments></Server>";
    }
    return xml + "</Folder></Servers></FileZilla3>";
}

double Milliseconds(QElapsedTimer &timer)
{
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return ms;
}

}  // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config;
    ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QCoreApplication application(argc, argv);
    application.setOrganizationName("Tarnwick");
    application.setApplicationName("Veldra");
    for (const int count : {100, 1000, 5000}) {
        const QByteArray xml = List(count);
        QElapsedTimer timer;
        timer.start();
        TSiteImport import = FileZillaSites::Read(xml);
        const double read = Milliseconds(timer);
        const QByteArray back = FileZillaSites::Write(import.Sites, {});
        const double write = Milliseconds(timer);
        {
            const auto store = TSettingsStore::OpenForWriting();
            import.Sites.WriteToStore(*store);
            store->Close();
        }
        const double save = Milliseconds(timer);
        TSiteList loaded;
        loaded.ReadFromStore(*TSettingsStore::OpenForReading());
        const double load = Milliseconds(timer);
        std::printf("%5d sites (%zu kB list): import %.1f ms, export %.1f ms, settings saved %.1f ms, read %.1f ms "
                    "(%d sites)\n",
                    count, size_t(xml.size() / 1024), read, write, save, load, loaded.Count());

        // One site renamed: gathered, compared, merged into the file as it
        // is now, and written.
        const std::vector<TSettingsList> lists{{"Sites", "Site", ".", "Uid", false, "site-"}};
        const auto gather = [&loaded] {
            const auto memory = TSettingsStore::InMemory();
            loaded.WriteToStore(*memory);
            return memory->Values();
        };
        timer.restart();
        const TSettingsValues before = gather();
        loaded[count / 2].Name += " (renamed)";
        const TSettingsValues mine = gather();
        const bool same = mine == before;
        const double gathered = Milliseconds(timer);
        TSettingsStore::Update([&](const TSettingsValues &now) { return MergeSettings(before, mine, now, lists); });
        const double merged = Milliseconds(timer);
        std::printf("      a site renamed: gathered twice and compared %.1f ms (%s), merged and written %.1f ms\n",
                    gathered, same ? "same" : "changed", merged);
        // What a save asks twice a second when nothing changed: the list
        // against the one it last gathered.
        const TSiteList copy = loaded;
        timer.restart();
        const bool unchanged = copy == loaded;
        std::printf("      nothing changed: the list compared in %.2f ms (%s)\n", Milliseconds(timer),
                    unchanged ? "same" : "changed");
    }
}
