#include "TuvoCliDocs.h"

#include "TuvoCliCommandTable.h"

#include <QStringList>

namespace {
using Table = TuvoCliCommandTable;

const int Width = 80;
const int Column = 30;

// Breaks \a text into lines of at most \a width characters, each indented by \a indent.
QString wrap(const QString &text, int indent, int width = Width)
{
    QStringList lines;
    QString line;
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
            lines.append(line);
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines.append(line);
    const QString pad(indent, QLatin1Char(' '));
    for (QString &l : lines)
        l.prepend(pad);
    return lines.join(QLatin1Char('\n'));
}

// "  label" padded to the description column, then the wrapped description.
QString entry(const QString &label, const QString &description, int column = Column)
{
    QString text = QStringLiteral("  ") + label;
    const QString body = wrap(description, column).mid(column);
    if (text.size() + 2 > column)
        return text + QLatin1Char('\n') + QString(column, QLatin1Char(' ')) + body;
    return text.leftJustified(column) + body;
}

QString optionLabel(const Table::Option &option)
{
    QString label = option.shortName.isNull() ? QStringLiteral("    ")
                                              : QStringLiteral("-") + option.shortName + QStringLiteral(", ");
    label += QStringLiteral("--") + option.longName;
    if (!option.valueName.isEmpty())
        label += QLatin1Char(' ') + option.valueName;
    return label;
}

QString optionText(const Table::Option &option)
{
    QString text = option.description;
    if (!option.defaultValue.isEmpty())
        text += QStringLiteral(" Default: ") + option.defaultValue + QLatin1Char('.');
    return text;
}

QString exitStatusText()
{
    QStringList lines;
    for (const Table::ExitStatus &status : Table::exitStatuses())
        lines.append(entry(QString::number(status.code), status.meaning, 8));
    return lines.join(QLatin1Char('\n'));
}

// groff: backslashes and leading dots and quotes are special; "-" in options is a minus.
QString roff(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    text.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

QString roffOption(const Table::Option &option)
{
    QString text = QStringLiteral(".TP\n.B ");
    if (!option.shortName.isNull())
        text += roff(QStringLiteral("-") + option.shortName) + QStringLiteral(", ");
    text += roff(QStringLiteral("--") + option.longName);
    if (!option.valueName.isEmpty())
        text += QStringLiteral(" \\fI") + option.valueName + QStringLiteral("\\fR");
    return text + QLatin1Char('\n') + roff(optionText(option)) + QLatin1Char('\n');
}

QString shellWords(const QStringList &words)
{
    return words.join(QLatin1Char(' '));
}

// What each verb's arguments complete to, as "verb:position" and shell words, the same
// for bash and zsh; \a names is the call that lists the names of one kind.
QList<QPair<QString, QString>> argumentWords(const QString &names)
{
    QStringList verbs;
    for (const Table::Verb &verb : Table::verbs())
        verbs.append(verb.name);
    QList<QPair<QString, QString>> cases;
    for (const Table::Verb &verb : Table::verbs()) {
        for (int i = 0; i < verb.arguments.size(); ++i) {
            QString words;
            switch (verb.arguments.at(i).kind) {
            case Table::Source:
                words = QStringLiteral("$(%1 source)").arg(names);
                break;
            case Table::Renderer:
                words = QStringLiteral("$(%1 renderer)").arg(names);
                break;
            case Table::Target:
                words = QStringLiteral("$(%1 source; %1 renderer)").arg(names);
                break;
            case Table::Plugin:
                words = QStringLiteral("$(%1 plugin)").arg(names);
                break;
            case Table::Kind:
                words = shellWords(Table::kindNames());
                break;
            default:
                if (verb.action == TuvoCliCommandTable::Action::Help)
                    words = shellWords(verbs);
                break;
            }
            if (!words.isEmpty())
                cases.append({verb.name + QLatin1Char(':') + QString::number(i), words});
        }
    }
    return cases;
}

// How the completions ask tuvo-client for names: the plugin given with --plugin is
// activated for the question, so that its sources and renderers are there to offer.
const QString NamesFunction = QStringLiteral(
    "    # Columns of list: KIND NAME PLUGIN BUS-NAME TITLE; offer names and bus names.\n"
    "    \"$1\" --timeout 1 ${2:+--plugin \"$2\"} list \"$3\" 2>/dev/null | awk 'NR > 1 { print $2; print $4 }'\n");

// Quoted for a zsh array element "name:description"; colons in the name are escaped.
QString zshItem(const QString &name, const QString &description)
{
    QString item = QString(name).replace(QLatin1Char(':'), QStringLiteral("\\:")) + QLatin1Char(':') + description;
    return QLatin1Char('\'') + item.replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
}
} // namespace

QString TuvoCliDocs::help()
{
    QString text = QStringLiteral("Usage: ") + Table::synopsis() + QStringLiteral("\n\n")
                   + wrap(Table::purpose(), 0) + QStringLiteral("\n\nVerbs:\n");
    for (const Table::Verb &verb : Table::verbs())
        text += entry(verb.name + QLatin1Char(' ') + Table::argumentSyntax(verb), verb.summary) + QLatin1Char('\n');
    text += QStringLiteral("\nOptions:\n");
    for (const Table::Option &option : Table::globalOptions())
        text += entry(optionLabel(option), optionText(option)) + QLatin1Char('\n');
    text += QStringLiteral("\nOptions of single verbs:\n");
    for (const Table::Option &option : Table::verbOptions())
        text += entry(optionLabel(option), optionText(option)) + QLatin1Char('\n');
    text += QStringLiteral("\nNaming sources and renderers:\n") + wrap(Table::targetRules(), 2)
            + QStringLiteral("\n\nExit status:\n") + exitStatusText()
            + QStringLiteral("\n\nJSON output (--json), one object per line:\n");
    for (const Table::Verb &verb : Table::verbs()) {
        if (!verb.jsonFields.isEmpty())
            text += entry(verb.name, verb.jsonFields) + QLatin1Char('\n');
    }
    text += QStringLiteral("\n") + wrap(QStringLiteral("Verbs without a JSON entry print nothing on success. "
                                                        "\"tuvo-client help VERB\" shows the details of a verb."),
                                         0)
            + QLatin1Char('\n');
    return text;
}

QString TuvoCliDocs::verbHelp(const QString &name)
{
    const Table::Verb *verb = Table::findVerb(name);
    if (!verb)
        return help();
    QString text = QStringLiteral("Usage: tuvo-client [OPTIONS] ") + verb->name + QLatin1Char(' ')
                   + Table::argumentSyntax(*verb) + QStringLiteral("\n\n") + wrap(verb->summary, 0)
                   + QLatin1Char('\n');
    if (!verb->description.isEmpty())
        text += QLatin1Char('\n') + wrap(verb->description, 0) + QLatin1Char('\n');
    text += QStringLiteral("\nOptions:\n");
    for (const QString &option : verb->options)
        text += entry(optionLabel(*Table::findOption(option)), optionText(*Table::findOption(option)))
                + QLatin1Char('\n');
    for (const Table::Option &option : Table::globalOptions())
        text += entry(optionLabel(option), optionText(option)) + QLatin1Char('\n');
    if (!verb->jsonFields.isEmpty())
        text += QStringLiteral("\nJSON output, one object per line:\n") + wrap(verb->jsonFields, 2) + QLatin1Char('\n');
    if (!verb->example.isEmpty())
        text += QStringLiteral("\nExample:\n  ") + verb->example + QLatin1Char('\n');
    text += QStringLiteral("\nExit status:\n") + exitStatusText() + QLatin1Char('\n');
    return text;
}

QString TuvoCliDocs::manPage()
{
    QString text = QStringLiteral(".\\\" Generated from the option table of tuvo-client; do not edit.\n")
                   + QStringLiteral(".TH TUVO\\-CLIENT 1 \"\" \"tuvo-client ") + Table::version()
                   + QStringLiteral("\" \"User Commands\"\n.SH NAME\ntuvo\\-client \\- use the media sources "
                                    "and renderers that tuvo\\-dbus\\-wrapper publishes\n.SH SYNOPSIS\n.B tuvo\\-client\n"
                                    "[\\fIOPTIONS\\fR] \\fIVERB\\fR [\\fIARGUMENTS\\fR]\n.SH DESCRIPTION\n")
                   + roff(Table::purpose()) + QStringLiteral("\n.SH VERBS\n");
    for (const Table::Verb &verb : Table::verbs()) {
        text += QStringLiteral(".TP\n.B ") + roff(verb.name);
        const QString syntax = Table::argumentSyntax(verb);
        if (!syntax.isEmpty())
            text += QStringLiteral(" \\fI") + roff(syntax) + QStringLiteral("\\fR");
        text += QLatin1Char('\n') + roff(verb.summary) + QLatin1Char('\n');
        if (!verb.description.isEmpty())
            text += roff(verb.description) + QLatin1Char('\n');
        if (!verb.options.isEmpty()) {
            QStringList names;
            for (const QString &option : verb.options)
                names.append(QStringLiteral("\\fB\\-\\-") + roff(option) + QStringLiteral("\\fR"));
            text += QStringLiteral("Options: ") + names.join(QStringLiteral(", ")) + QStringLiteral(".\n");
        }
        if (!verb.example.isEmpty())
            text += QStringLiteral(".br\nExample: \\fB") + roff(verb.example) + QStringLiteral("\\fR\n");
    }
    text += QStringLiteral(".SH OPTIONS\n");
    for (const Table::Option &option : Table::globalOptions())
        text += roffOption(option);
    text += QStringLiteral(".SS Options of single verbs\n");
    for (const Table::Option &option : Table::verbOptions())
        text += roffOption(option);
    text += QStringLiteral(".SH NAMING SOURCES AND RENDERERS\n") + roff(Table::targetRules())
            + QStringLiteral("\n.SH EXIT STATUS\n");
    for (const Table::ExitStatus &status : Table::exitStatuses())
        text += QStringLiteral(".TP\n.B ") + QString::number(status.code) + QLatin1Char('\n')
                + roff(status.meaning) + QLatin1Char('\n');
    text += QStringLiteral(".SH JSON OUTPUT\nWith \\fB\\-\\-json\\fR every verb prints one JSON object per line, "
                           "flushed at once:\n");
    for (const Table::Verb &verb : Table::verbs()) {
        if (!verb.jsonFields.isEmpty())
            text += QStringLiteral(".TP\n.B ") + roff(verb.name) + QLatin1Char('\n') + roff(verb.jsonFields)
                    + QLatin1Char('\n');
    }
    text += QStringLiteral(".PP\nNumbers that do not fit a 64-bit signed integer, and doubles that are not "
                           "finite, are given as strings.\n"
                           ".SH SEE ALSO\n.BR tuvo\\-dbus\\-wrapper (1),\n.BR gdbus (1)\n");
    return text;
}

QString TuvoCliDocs::bashCompletion()
{
    QStringList verbs;
    QStringList globalOptions;
    QStringList valueOptions;
    for (const Table::Verb &verb : Table::verbs())
        verbs.append(verb.name);
    for (const QList<Table::Option> *list : {&Table::globalOptions(), &Table::verbOptions()}) {
        for (const Table::Option &option : *list) {
            QStringList spellings{QStringLiteral("--") + option.longName};
            if (!option.shortName.isNull())
                spellings.append(QStringLiteral("-") + option.shortName);
            if (list == &Table::globalOptions())
                globalOptions += spellings;
            if (!option.valueName.isEmpty())
                valueOptions += spellings;
        }
    }

    QString verbOptionCases;
    for (const Table::Verb &verb : Table::verbs()) {
        if (!verb.options.isEmpty()) {
            QStringList spellings;
            for (const QString &option : verb.options)
                spellings.append(QStringLiteral("--") + option);
            verbOptionCases += QStringLiteral("        %1) options+=\" %2\" ;;\n").arg(verb.name, shellWords(spellings));
        }
    }
    QString argumentCases;
    for (const auto &entry : argumentWords(QStringLiteral("_tuvo_client_names \"$tool\" \"$plugin\"")))
        argumentCases += QStringLiteral("        %1) words=\"%2\" ;;\n").arg(entry.first, entry.second);

    QString text = QStringLiteral(
        "# bash completion for tuvo-client. Generated from its option table; do not edit.\n"
        "# Names of sources, renderers and plugins come from \"tuvo-client list\".\n"
        "\n"
        "_tuvo_client_names()\n"
        "{\n"
        "@NAMES@"
        "}\n"
        "\n"
        "_tuvo_client()\n"
        "{\n"
        "    local tool=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} prev=\n"
        "    (( COMP_CWORD > 0 )) && prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    local verbs=\"@VERBS@\"\n"
        "    COMPREPLY=()\n"
        "\n"
        "    case \"$prev\" in\n"
        "        --plugin|-p) COMPREPLY=($(compgen -W \"$(_tuvo_client_names \"$tool\" \"\" plugin)\" -- \"$cur\")); return ;;\n"
        "        --type) COMPREPLY=($(compgen -W \"@TYPES@\" -- \"$cur\")); return ;;\n"
        "        @VALUE_OPTIONS@) return ;;\n"
        "    esac\n"
        "\n"
        "    local i word verb= position=0 skip=0 plugin=\n"
        "    for (( i = 1; i < COMP_CWORD; i++ )); do\n"
        "        word=${COMP_WORDS[i]}\n"
        "        if (( skip )); then\n"
        "            skip=0\n"
        "            [[ ${COMP_WORDS[i-1]} == --plugin || ${COMP_WORDS[i-1]} == -p ]] && plugin=$word\n"
        "            continue\n"
        "        fi\n"
        "        case \"$word\" in\n"
        "            --plugin=*) plugin=${word#--plugin=} ;;\n"
        "            @VALUE_OPTIONS@) skip=1 ;;\n"
        "            -[0-9]*|[!-]*) if [[ -z $verb ]]; then verb=$word; else position=$((position + 1)); fi ;;\n"
        "        esac\n"
        "    done\n"
        "\n"
        "    if [[ $cur == -* ]]; then\n"
        "        local options=\"@GLOBAL_OPTIONS@\"\n"
        "        case \"$verb\" in\n"
        "@VERB_OPTIONS@"
        "        esac\n"
        "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    if [[ -z $verb ]]; then\n"
        "        COMPREPLY=($(compgen -W \"$verbs\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    local words=\n"
        "    case \"$verb:$position\" in\n"
        "@ARGUMENTS@"
        "    esac\n"
        "    [[ -n $words ]] && COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
        "    return 0\n"
        "}\n"
        "complete -F _tuvo_client tuvo-client\n");
    text.replace(QStringLiteral("@NAMES@"), NamesFunction);
    text.replace(QStringLiteral("@VERBS@"), shellWords(verbs));
    text.replace(QStringLiteral("@TYPES@"), shellWords(Table::typeNames()));
    text.replace(QStringLiteral("@VALUE_OPTIONS@"), valueOptions.join(QLatin1Char('|')));
    text.replace(QStringLiteral("@GLOBAL_OPTIONS@"), shellWords(globalOptions));
    text.replace(QStringLiteral("@VERB_OPTIONS@"), verbOptionCases);
    text.replace(QStringLiteral("@ARGUMENTS@"), argumentCases);
    return text;
}

QString TuvoCliDocs::zshCompletion()
{
    QStringList verbs;
    for (const Table::Verb &verb : Table::verbs())
        verbs.append(zshItem(verb.name, verb.summary));
    QStringList globalOptions;
    QStringList valueOptions;
    for (const QList<Table::Option> *list : {&Table::globalOptions(), &Table::verbOptions()}) {
        for (const Table::Option &option : *list) {
            QStringList spellings{QStringLiteral("--") + option.longName};
            if (!option.shortName.isNull())
                spellings.append(QStringLiteral("-") + option.shortName);
            for (const QString &spelling : qAsConst(spellings)) {
                if (list == &Table::globalOptions())
                    globalOptions.append(zshItem(spelling, option.description));
                if (!option.valueName.isEmpty())
                    valueOptions.append(spelling);
            }
        }
    }
    QString verbOptionCases;
    for (const Table::Verb &verb : Table::verbs()) {
        QStringList items;
        for (const QString &name : verb.options)
            items.append(zshItem(QStringLiteral("--") + name, Table::findOption(name)->description));
        if (!items.isEmpty())
            verbOptionCases += QStringLiteral("        (%1) options+=(%2) ;;\n").arg(verb.name, items.join(QLatin1Char(' ')));
    }
    QString argumentCases;
    for (const auto &entry : argumentWords(QStringLiteral("_tuvo_client_names \"$tool\" \"$plugin\"")))
        argumentCases += QStringLiteral("        (%1) compadd -- %2 ;;\n").arg(entry.first, entry.second);

    QString text = QStringLiteral(
        "#compdef tuvo-client\n"
        "# zsh completion for tuvo-client. Generated from its option table, like the bash\n"
        "# completion; do not edit.\n"
        "\n"
        "_tuvo_client_names()\n"
        "{\n"
        "@NAMES@"
        "}\n"
        "\n"
        "_tuvo_client()\n"
        "{\n"
        "    local tool=${words[1]} cur=${words[CURRENT]} prev=${words[CURRENT-1]}\n"
        "    local -a verbs options\n"
        "    verbs=(@VERBS@)\n"
        "    case $prev in\n"
        "        (--plugin|-p) compadd -- $(_tuvo_client_names \"$tool\" \"\" plugin); return ;;\n"
        "        (--type) compadd -- @TYPES@; return ;;\n"
        "        (@VALUE_OPTIONS@) return ;;\n"
        "    esac\n"
        "\n"
        "    local i word verb= position=0 skip=0 plugin=\n"
        "    for (( i = 2; i < CURRENT; i++ )); do\n"
        "        word=${words[i]}\n"
        "        if (( skip )); then\n"
        "            skip=0\n"
        "            [[ ${words[i-1]} == (--plugin|-p) ]] && plugin=$word\n"
        "            continue\n"
        "        fi\n"
        "        case $word in\n"
        "            (--plugin=*) plugin=${word#--plugin=} ;;\n"
        "            (@VALUE_OPTIONS@) skip=1 ;;\n"
        "            (-[0-9]*|[^-]*) if [[ -z $verb ]]; then verb=$word; else (( position++ )); fi ;;\n"
        "        esac\n"
        "    done\n"
        "\n"
        "    if [[ $cur == -* ]]; then\n"
        "        options=(@GLOBAL_OPTIONS@)\n"
        "        case $verb in\n"
        "@VERB_OPTIONS@"
        "        esac\n"
        "        _describe -t options option options\n"
        "        return\n"
        "    fi\n"
        "    if [[ -z $verb ]]; then\n"
        "        _describe -t verbs verb verbs\n"
        "        return\n"
        "    fi\n"
        "    case \"$verb:$position\" in\n"
        "@ARGUMENTS@"
        "    esac\n"
        "}\n"
        "\n"
        "_tuvo_client \"$@\"\n");
    text.replace(QStringLiteral("@NAMES@"), NamesFunction);
    text.replace(QStringLiteral("@VERBS@"), verbs.join(QLatin1Char(' ')));
    text.replace(QStringLiteral("@TYPES@"), shellWords(Table::typeNames()));
    text.replace(QStringLiteral("@VALUE_OPTIONS@"), valueOptions.join(QLatin1Char('|')));
    text.replace(QStringLiteral("@GLOBAL_OPTIONS@"), globalOptions.join(QLatin1Char(' ')));
    text.replace(QStringLiteral("@VERB_OPTIONS@"), verbOptionCases);
    text.replace(QStringLiteral("@ARGUMENTS@"), argumentCases);
    return text;
}
