#include "TuvoCliCommandLine.h"
#include "TuvoCliCommandTable.h"
#include "TuvoCliDocs.h"

#include <QTest>

using A = TuvoCliCommandTable::Action;

namespace {
// Arguments that satisfy each verb, so that an option can be tried on it alone.
QStringList argumentsFor(const TuvoCliCommandTable::Verb &verb)
{
    QStringList args{verb.name};
    for (const TuvoCliCommandTable::Argument &argument : verb.arguments) {
        if (argument.optional)
            break;
        if (argument.kind == TuvoCliCommandTable::Number)
            args.append(QStringLiteral("3"));
        else if (argument.kind == TuvoCliCommandTable::Kind)
            args.append(QStringLiteral("source"));
        else if (verb.name == QLatin1String("help"))
            args.append(QStringLiteral("list"));
        else
            args.append(QStringLiteral("x"));
    }
    return args;
}

QStringList valueFor(const TuvoCliCommandTable::Option &option)
{
    if (option.valueName.isEmpty())
        return {};
    if (option.valueKind == TuvoCliCommandTable::Number)
        return {QStringLiteral("2")};
    if (option.valueKind == TuvoCliCommandTable::TypeName)
        return {QStringLiteral("int")};
    return {QStringLiteral("v")};
}
} // namespace

// The command line against the command table, and the documents made from the table.
class tst_TuvoCliCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void accepts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("verb");
        QTest::addColumn<int>("action"); // what the application runs for it
        QTest::addColumn<QStringList>("positional");
        QTest::addColumn<QStringList>("options"); // name=value
        // Each verb's plain form, seeks and a play at a position run end to end in tst_tuvoclientprocess.

        QTest::newRow("list kind") << QStringList{"list", "renderer"} << "list" << int(A::List) << QStringList{"renderer"} << QStringList();
        QTest::newRow("options after the verb")
            << QStringList{"browse", "src", "albums", "--skip", "5", "--count=2", "-j"} << "browse" << int(A::Browse)
            << QStringList{"src", "albums"} << QStringList{"skip=5", "count=2", "json="};
        QTest::newRow("options before the verb") << QStringList{"-t", "0.5", "--plugin=sample", "status", "r"}
                                                 << "status" << int(A::Status) << QStringList{"r"}
                                                 << QStringList{"timeout=0.5", "plugin=sample"};
        QTest::newRow("attached short value") << QStringList{"-t2", "position", "r"} << "position" << int(A::Position)
                                              << QStringList{"r"} << QStringList{"timeout=2"};
        QTest::newRow("double dash") << QStringList{"query", "s", "--", "--skip"} << "query" << int(A::Query)
                                     << QStringList{"s", "--skip"} << QStringList();
        QTest::newRow("set with type") << QStringList{"set", "r", "volume", "-5", "--type", "int"} << "set" << int(A::Set)
                                       << QStringList{"r", "volume", "-5"} << QStringList{"type=int"};
        QTest::newRow("empty query text") << QStringList{"query", "s", ""} << "query" << int(A::Query) << QStringList{"s", ""}
                                          << QStringList();
        QTest::newRow("help") << QStringList{"--help"} << "" << int(A::Help) << QStringList() << QStringList{"help="};
        QTest::newRow("help beats missing arguments") << QStringList{"browse", "-h"} << "browse" << int(A::Browse) << QStringList()
                                                      << QStringList{"help="};
    }

    void accepts()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, verb);
        QFETCH(int, action);
        QFETCH(QStringList, positional);
        QFETCH(QStringList, options);
        TuvoCliCommandLine commandLine;
        QVERIFY2(commandLine.parse(arguments), qPrintable(commandLine.error()));
        QCOMPARE(commandLine.verb(), verb);
        QCOMPARE(int(commandLine.action()), action);
        if (!verb.isEmpty())
            QCOMPARE(int(TuvoCliCommandTable::findVerb(verb)->action), action);
        QCOMPARE(commandLine.arguments(), positional);
        for (const QString &option : options) {
            const QString name = option.section(QLatin1Char('='), 0, 0);
            QVERIFY2(commandLine.isSet(name), qPrintable(name));
            QCOMPARE(commandLine.value(name), option.section(QLatin1Char('='), 1));
        }
    }

    void refuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");

        QTest::newRow("nothing") << QStringList() << "no verb given";
        QTest::newRow("unknown verb") << QStringList{"brows"} << "unknown verb \"brows\"";
        QTest::newRow("unknown verb, a likely one") << QStringList{"brwose"} << "unknown verb \"brwose\"; did you mean \"browse\"?";
        QTest::newRow("unknown option") << QStringList{"list", "--all"} << "unknown option --all";
        QTest::newRow("unknown short option") << QStringList{"list", "-x"} << "unknown option -x";
        QTest::newRow("option of another verb") << QStringList{"play", "r", "--skip", "1"}
                                                << "--skip is not an option of play";
        QTest::newRow("missing value") << QStringList{"list", "--timeout"} << "--timeout needs a value (SECONDS)";
        QTest::newRow("value for a flag") << QStringList{"list", "--json=yes"} << "--json takes no value";
        QTest::newRow("option twice") << QStringList{"list", "-j", "--json"} << "--json is given twice";
        QTest::newRow("missing argument") << QStringList{"browse"} << "browse needs SOURCE [OBJECT]";
        QTest::newRow("too many arguments") << QStringList{"stop", "r", "now"} << "too many arguments: stop RENDERER";
        QTest::newRow("empty target") << QStringList{"stop", ""} << "RENDERER must not be empty";
        QTest::newRow("zero timeout") << QStringList{"list", "-t", "0"} << "--timeout needs a number of seconds above 0";
        QTest::newRow("word timeout") << QStringList{"list", "-t", "soon"} << "--timeout needs a number of seconds above 0, not \"soon\"";
        QTest::newRow("negative skip") << QStringList{"browse", "s", "--skip=-1"} << "--skip needs a whole number";
        QTest::newRow("bad count") << QStringList{"browse", "s", "--count", "many"} << "--count needs a whole number";
        QTest::newRow("bad type") << QStringList{"set", "r", "p", "1", "--type", "float"} << "--type must be one of";
        QTest::newRow("bad kind") << QStringList{"list", "sources"} << "KIND must be plugin, source or renderer";
        QTest::newRow("bad index") << QStringList{"goto", "r", "-1"} << "INDEX must be a whole number";
        QTest::newRow("bad seek") << QStringList{"seek", "r", "+10-"} << "POSITION must be seconds";
        QTest::newRow("seek words") << QStringList{"seek", "r", "end"} << "POSITION must be seconds";
        QTest::newRow("start without uri") << QStringList{"play", "r", "--start", "3"} << "--start needs a URI";
        QTest::newRow("start and content type")
            << QStringList{"play", "r", "u", "--start", "3", "--content-type", "audio/x"}
            << "--start and --content-type cannot be used together";
        QTest::newRow("help of an unknown verb") << QStringList{"help", "brows"} << "unknown verb \"brows\"";
    }

    void refuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        TuvoCliCommandLine commandLine;
        QVERIFY(!commandLine.parse(arguments));
        QVERIFY2(commandLine.error().startsWith(error), qPrintable(commandLine.error()));
    }

    void timeoutIsInMilliseconds()
    {
        TuvoCliCommandLine commandLine;
        QVERIFY(commandLine.parse({QStringLiteral("list")}));
        QCOMPARE(commandLine.timeoutMs(), 5000);
        QVERIFY(commandLine.parse({QStringLiteral("list"), QStringLiteral("-t"), QStringLiteral("0.25")}));
        QCOMPARE(commandLine.timeoutMs(), 250);
    }

    void everyOptionOfEveryVerbIsAccepted()
    {
        for (const TuvoCliCommandTable::Verb &verb : TuvoCliCommandTable::verbs()) {
            QList<const TuvoCliCommandTable::Option *> options;
            for (const TuvoCliCommandTable::Option &option : TuvoCliCommandTable::globalOptions())
                options.append(&option);
            for (const QString &name : verb.options)
                options.append(TuvoCliCommandTable::findOption(name));
            for (const TuvoCliCommandTable::Option *option : options) {
                QVERIFY(option);
                QStringList spellings{QStringLiteral("--") + option->longName};
                if (!option->shortName.isNull())
                    spellings.append(QStringLiteral("-") + option->shortName);
                for (const QString &spelling : spellings) {
                    QStringList args = argumentsFor(verb);
                    args.append(spelling);
                    args += valueFor(*option);
                    if (option->longName == QLatin1String("start") || option->longName == QLatin1String("content-type"))
                        args.insert(2, QStringLiteral("sample:///track_1"));
                    TuvoCliCommandLine commandLine;
                    QVERIFY2(commandLine.parse(args), qPrintable(args.join(QLatin1Char(' ')) + QStringLiteral(": ")
                                                                 + commandLine.error()));
                }
            }
        }
    }

    void documentsNameEverything()
    {
        const QString help = TuvoCliDocs::help();
        const QString man = TuvoCliDocs::manPage();
        const QString completion = TuvoCliDocs::bashCompletion();
        for (const QList<TuvoCliCommandTable::Option> *list :
             {&TuvoCliCommandTable::globalOptions(), &TuvoCliCommandTable::verbOptions()}) {
            for (const TuvoCliCommandTable::Option &option : *list) {
                const QString spelled = QStringLiteral("--") + option.longName;
                QVERIFY2(help.contains(spelled), qPrintable(spelled));
                QVERIFY2(man.contains(QString(spelled).replace(QLatin1Char('-'), QStringLiteral("\\-"))),
                         qPrintable(spelled));
                QVERIFY2(completion.contains(spelled), qPrintable(spelled));
            }
        }
        for (const TuvoCliCommandTable::Verb &verb : TuvoCliCommandTable::verbs()) {
            QVERIFY2(help.contains(QStringLiteral("\n  ") + verb.name + QLatin1Char(' ')), qPrintable(verb.name));
            QVERIFY2(man.contains(QStringLiteral(".B ") + QString(verb.name).replace(QLatin1Char('-'), QStringLiteral("\\-"))),
                     qPrintable(verb.name));
            QVERIFY2(completion.contains(verb.name), qPrintable(verb.name));
            QVERIFY(TuvoCliDocs::verbHelp(verb.name).startsWith(QStringLiteral("Usage: tuvo-client [OPTIONS] ") + verb.name));
        }
        for (const TuvoCliCommandTable::ExitStatus &status : TuvoCliCommandTable::exitStatuses()) {
            QVERIFY(help.contains(QStringLiteral("\n  ") + QString::number(status.code) + QLatin1Char(' ')));
            QVERIFY(man.contains(QStringLiteral(".B ") + QString::number(status.code) + QLatin1Char('\n')));
        }
        // Every line of the help fits a terminal.
        const QStringList lines = help.split(QLatin1Char('\n'));
        for (const QString &line : lines)
            QVERIFY2(line.size() <= 80, qPrintable(line));
    }
};

QTEST_APPLESS_MAIN(tst_TuvoCliCommandLine)
#include "tst_tuvoclicommandline.moc"
