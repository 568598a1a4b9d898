#include "commandline.h"

#include "commands.h"
#include "config.h"
#include "peercheck.h"
#include "privatememory.h"
#include "serveraddress.h"
#include "versiontext.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <memory>

namespace cli {

namespace {

struct Command {
    const char* name;
    int (*run)(const QStringList&);
    const char* summary;
};
const Command kCommands[] = {
    {"calls", RunCalls, "the calls of a day or period, as a table, CSV or JSON lines"},
    {"summary", RunSummary, "calls and talk time by hour, day, extension or number"},
    {"chart", RunChart, "the per-minute activity chart of one day for one number, as text"},
    {"report", RunReport, "a PDF report of a period: totals, charts, extensions, top numbers"},
    {"capacity", RunCapacity, "calls at once, busy-hour traffic and lines needed, by day"},
    {"credentials", RunCredentials,
     "store the database user name and password (asked on the terminal)"},
};

// The toolkit's own options, which QApplication takes before the program sees its arguments.
const char* const kToolkitOptionsWithValue[] = {"platform",
                                                "platformpluginpath",
                                                "platformtheme",
                                                "plugin",
                                                "display",
                                                "geometry",
                                                "qwindowgeometry",
                                                "qwindowtitle",
                                                "qwindowicon",
                                                "style",
                                                "stylesheet",
                                                "session",
                                                "name",
                                                "title"};
const char* const kToolkitFlags[] = {"reverse", "nograb", "dograb", "widgetcount", "sync"};

} // namespace

std::optional<int> HandleCommandLine(int argc, char* argv[]) {
    if (argc <= 1)
        return std::nullopt;
    // A core application only: it needs no display, so everything here works over a plain SSH
    // session. The PDF report paints, which takes Qt Gui: on the offscreen platform, which
    // needs no display either.
    std::unique_ptr<QCoreApplication> application;
    if (qstrcmp(argv[1], "report") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Under cron there is no XDG_RUNTIME_DIR, which the platform only warns about; a
        // cron job would mail that warning every time.
        QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
        application = std::make_unique<QGuiApplication>(argc, argv);
        QLoggingCategory::setFilterRules(QString());
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("linetally"));
    QCoreApplication::setApplicationVersion(VersionText());
    const QStringList arguments = QCoreApplication::arguments();
    for (const Command& command : kCommands) {
        if (arguments.at(1) == QLatin1String(command.name))
            return command.run(arguments.mid(2));
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Linetally: who called whom on a given day, from a 3CX phone system's "
                       "database (\"%1\" on port %2 of this machine, or the "
                       "port %3 of the settings names). With no "
                       "command it opens its window; the commands report from a terminal.")
            .arg(dbRoutines::kDatabaseName, QString::number(dbRoutines::kDefaultDbPort),
                 QString::fromLatin1(dbRoutines::kDbPortName)));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and end."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and end."));
    parser.addOption(help);
    parser.addOption(version);
    for (const char* name : kToolkitOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kToolkitFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    QTextStream out(stdout);
    QTextStream err(stderr);
    QString commands = QStringLiteral("\nCommands (each with its own --help):\n");
    for (const Command& command : kCommands)
        commands += QStringLiteral("  %1  %2\n")
                        .arg(QString::fromLatin1(command.name), -11)
                        .arg(QString::fromLatin1(command.summary));
    QString usage = parser.helpText();
    usage = QStringLiteral("Usage: linetally [options] | linetally COMMAND [options]") +
            usage.mid(usage.indexOf(u'\n'));
    commands += QStringLiteral("  %1  %2\n")
                    .arg(QStringLiteral("reports"), -11)
                    .arg(QStringLiteral("the reports window: any period, its figures and charts"));
    usage += commands +
             QStringLiteral("\nSettings (the database user name and password, and DBPORT) are kept "
                            "in:\n  %1\n")
                 .arg(QDir::toNativeSeparators(config::ConfigFilePath()));
    usage +=
        platform::ChecksConnectionPeers()
            ? QStringLiteral("\nThe password goes only to a program of root, of the database's "
                             "service account\n(postgres, or DBOWNER in the settings) or "
                             "of yourself.\n")
            : QStringLiteral("\nThis system does not tell who listens on the database's port: "
                             "the password goes\nto whatever program holds it.\n");
    if (!platform::KeepsMemoryFromOtherProcesses())
        usage += QStringLiteral("\nThis system does not keep other programs of yours out of "
                                "Linetally's memory, where\nthe password is.\n");
    if (!parser.parse(QCoreApplication::arguments())) {
        err << parser.errorText() << "\n\n" << usage;
        return kUsage;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "Linetally has no command " << parser.positionalArguments().first() << "\n\n"
            << usage;
        return kUsage;
    }
    if (parser.isSet(help)) {
        out << usage;
        return kDone;
    }
    if (parser.isSet(version)) {
        out << "Linetally " << VersionText() << "\n";
        return kDone;
    }
    return std::nullopt;
}

} // namespace cli
