// The entry: the application object, the command line, then the run.
#include "options.h"
#include "paths.h"
#include "run.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QObject>
#include <QRegularExpression>
#include <QStringDecoder>

#include <csignal>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Qt reads arguments as UTF-8 and would turn other bytes into U+FFFD: such a name would be
// another file's name.
bool checkArgumentsAreUtf8(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView bytes(argv[i]);
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString decoded = decoder(bytes);
        if (!decoder.hasError())
            continue;
        QString shown;
        for (const char c : bytes) {
            shown += uchar(c) < 0x80 ? QString(QLatin1Char(c))
                                     : u"\\x"_s + QString::number(uchar(c), 16).toUpper();
        }
        print(stderr, QObject::tr("cuefold: '%1' is not valid UTF-8; "
                                  "cuefold takes UTF-8 file names only\n")
                              .arg(shown));
        return false;
    }
    return true;
}

// The parser's own errors, worded as cuefold's other usage errors are.
QString parserError(const QCommandLineParser &parser)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().constFirst();
        // A letter was a short option unless it was typed "--x" or "--x=...".
        const bool longForm = name.size() > 1
                || !QCoreApplication::arguments()
                            .filter(QRegularExpression(u"^--"_s + QRegularExpression::escape(name)
                                                       + u"(=|$)"_s))
                            .isEmpty();
        return QObject::tr("cuefold: unknown option %1%2\n")
                .arg(longForm ? u"--"_s : u"-"_s, name);
    }
    static const QRegularExpression valueError(u"^(Missing|Unexpected) value after '(.*)'\\.$"_s);
    const QRegularExpressionMatch match = valueError.match(parser.errorText());
    if (!match.hasMatch())
        return u"cuefold: "_s + parser.errorText() + u'\n';
    return (match.captured(1) == u"Missing" ? QObject::tr("cuefold: %1 needs a value\n")
                                             : QObject::tr("cuefold: %1 takes no value\n"))
            .arg(match.captured(2));
}

} // namespace

int main(int argc, char *argv[])
{
    recordHandedDescriptors();
    // A reader that goes away is a failed write, reported as any other, not a silent end.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // The help's usage line shows the program's name, not the path it was started by.
    std::vector<char *> arguments(argv, argv + argc);
    char name[] = "cuefold";
    if (argc > 0)
        arguments[0] = name;
    QCoreApplication app(argc, arguments.data());
    QCoreApplication::setApplicationName(QStringLiteral("cuefold"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CUEFOLD_VERSION));
    if (!checkArgumentsAreUtf8(argc, argv))
        return 1;

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Convert HH:MM:SS:FF transcripts into WebVTT\n\n"
            "A FILE of - is standard input or standard output. Exit status: 0 when every\n"
            "document was written (warnings alone leave it 0, unless --strict), 1 otherwise."));
    // The framework's --help-all promises its own options, which mean nothing here: it stays,
    // hidden, as another name for --help.
    const QCommandLineOption help({u"h"_s, u"help"_s},
                                  u"Displays help on commandline options."_s);
    QCommandLineOption helpAll(u"help-all"_s);
    helpAll.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, helpAll});
    parser.addVersionOption();
    addOptions(parser);
    const bool parsed = parser.parse(QCoreApplication::arguments());
    if (parsed && (parser.isSet(help) || parser.isSet(helpAll)))
        parser.showHelp(0);
    if (!parsed) {
        print(stderr, parserError(parser));
        return 1;
    }
    if (parser.isSet(u"version"_s))
        parser.showVersion();

    Settings settings;
    const QString error = readSettings(parser, &settings);
    if (!error.isEmpty()) {
        print(stderr, error);
        return 1;
    }
    if (!settings.batch && (settings.input.isEmpty() || settings.output.isEmpty())) {
        const QString missing = settings.input.isEmpty() && settings.output.isEmpty()
                ? u"--input and --output"_s
                : settings.input.isEmpty() ? u"--input"_s
                                           : u"--output"_s;
        print(stderr, QObject::tr("cuefold: missing %1\n").arg(missing));
        print(stderr, QObject::tr("Usage: cuefold --input input.txt --output output.vtt\n"));
        parser.showHelp(1);
    }
    return run(settings);
}
