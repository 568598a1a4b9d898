#include "commandline.h"

#include "config.h"
#include "versiontext.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

namespace {

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

void SetApplicationIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("linetally"));
    QCoreApplication::setApplicationVersion(VersionText());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.linetally.Linetally"));
}

std::optional<int> HandleCommandLine(int argc, char* argv[]) {
    if (argc <= 1)
        return std::nullopt;
    // A core application only: it needs no display, so --help works over a plain SSH session.
    QCoreApplication core(argc, argv);
    SetApplicationIdentity();

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Linetally: who called whom on a given day, from a 3CX phone system's "
                       "database (\"phonesystem\" on port 5480 of this machine)."));
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
    const QString usage =
        parser.helpText() +
        QStringLiteral("\nSettings (the database user name and password) are kept in:\n  %1\n")
            .arg(QDir::toNativeSeparators(config::ConfigFilePath()));
    if (!parser.parse(QCoreApplication::arguments())) {
        err << parser.errorText() << "\n\n" << usage;
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "Linetally takes no arguments besides its options: "
            << parser.positionalArguments().join(u' ') << "\n\n"
            << usage;
        return 2;
    }
    if (parser.isSet(help)) {
        out << usage;
        return 0;
    }
    if (parser.isSet(version)) {
        out << "Linetally " << VersionText() << "\n";
        return 0;
    }
    return std::nullopt;
}
