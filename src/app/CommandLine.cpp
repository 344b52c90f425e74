#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

namespace CommandLine {

namespace {

void Describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription("Veldra, a small graphical FTP client.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"site", "Connects to the saved site of that path (\"Work/www\").", "path"});
    parser.addPositionalArgument("address", "Connects to the address and opens its folder "
                                            "(ftp://, ftps://, ftpes://, sftp://).", "[address]");
    // The switches begin with a slash: to the parser they are arguments.
    parser.addPositionalArgument("/USEIDEHOOKS", "Time-stamped log entries and extra diagnostics.",
                                 "[/USEIDEHOOKS]");
    parser.addPositionalArgument("/NOIDEHOOKS", "Neither of them, even under a debugger.", "[/NOIDEHOOKS]");
}

bool AsksForText(const char *argument)
{
    for (const char *word : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
        if (std::strcmp(argument, word) == 0)
            return true;
    return false;
}

}  // namespace

void SetIdentity()
{
    QCoreApplication::setApplicationName("Veldra");
    QCoreApplication::setOrganizationName("Tarnwick");
    QCoreApplication::setApplicationVersion(VELDRA_VERSION);
}

void AnswerWithoutDisplay(int argc, char **argv)
{
    bool asks = false;
    for (int i = 1; i < argc && !asks; ++i)
        asks = AsksForText(argv[i]);
    if (!asks)
        return;
    const QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    Describe(parser);
    // Options of the window system are unknown here; they do not matter
    // to a question about the program.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet("version"))
        parser.showVersion();
    parser.showHelp();
}

TStart Check(const QCoreApplication &application)
{
    QCommandLineParser parser;
    Describe(parser);
    parser.process(application);
    TStart start;
    start.Site = parser.value("site");
    for (const QString &argument : parser.positionalArguments())
        if (argument.contains("://") && start.Address.isEmpty())
            start.Address = argument;
    return start;
}

}  // namespace CommandLine
