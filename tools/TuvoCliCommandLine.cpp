#include "TuvoCliCommandLine.h"

#include <TuvoClientTargetMatch.h>

#include <QRegularExpression>

#include <cmath>

namespace {
bool looksLikeNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^-[0-9]"));
    return number.match(text).hasMatch();
}

bool isUnsigned(const QString &text)
{
    bool ok = false;
    text.toUInt(&ok);
    return ok;
}
} // namespace

bool TuvoCliCommandLine::fail(const QString &text)
{
    m_error = text;
    return false;
}

bool TuvoCliCommandLine::failUnknownVerb(const QString &verb)
{
    QStringList verbs;
    for (const TuvoCliCommandTable::Verb &known : TuvoCliCommandTable::verbs())
        verbs.append(known.name);
    QString text = QStringLiteral("unknown verb \"%1\"").arg(verb);
    const QString likely = TuvoClientTargetMatch::closest(verb, verbs);
    if (!likely.isEmpty())
        text += QStringLiteral("; did you mean \"%1\"?").arg(likely);
    return fail(text);
}

QString TuvoCliCommandLine::value(const QString &option) const
{
    if (m_values.contains(option))
        return m_values.value(option);
    const TuvoCliCommandTable::Option *known = TuvoCliCommandTable::findOption(option);
    return known ? known->defaultValue : QString();
}

TuvoCliCommandTable::Action TuvoCliCommandLine::action() const
{
    const TuvoCliCommandTable::Verb *verb = TuvoCliCommandTable::findVerb(m_verb);
    return verb ? verb->action : TuvoCliCommandTable::Action::Help;
}

QString TuvoCliCommandLine::helpVerb() const
{
    if (action() == TuvoCliCommandTable::Action::Help)
        return m_arguments.value(0);
    return m_verb;
}

bool TuvoCliCommandLine::parse(const QStringList &arguments)
{
    QStringList positional;
    QList<const TuvoCliCommandTable::Option *> given;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))
            || looksLikeNumber(arg)) {
            positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const TuvoCliCommandTable::Option *option = nullptr;
        QString value;
        bool hasValue = false;
        QString spelled;
        if (arg.startsWith(QLatin1String("--"))) {
            const int equals = arg.indexOf(QLatin1Char('='));
            const QString name = arg.mid(2, equals < 0 ? -1 : equals - 2);
            spelled = QStringLiteral("--") + name;
            option = TuvoCliCommandTable::findOption(name);
            if (equals >= 0) {
                value = arg.mid(equals + 1);
                hasValue = true;
            }
        } else {
            spelled = arg.left(2);
            option = TuvoCliCommandTable::findShortOption(arg.at(1));
            if (arg.size() > 2) {
                value = arg.mid(2);
                hasValue = true;
            }
        }
        if (!option)
            return fail(QStringLiteral("unknown option %1").arg(spelled));
        if (option->valueName.isEmpty()) {
            if (hasValue)
                return fail(QStringLiteral("%1 takes no value").arg(spelled));
        } else if (!hasValue) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("%1 needs a value (%2)").arg(spelled, option->valueName));
            value = arguments.at(++i);
        }
        if (m_values.contains(option->longName))
            return fail(QStringLiteral("--%1 is given twice").arg(option->longName));
        m_values.insert(option->longName, value);
        given.append(option);
    }

    if (!positional.isEmpty()) {
        m_verb = positional.takeFirst();
        m_arguments = positional;
    }
    // --help and --version answer whatever else is there, as long as the verb exists.
    const TuvoCliCommandTable::Verb *verb = nullptr;
    if (!m_verb.isEmpty()) {
        verb = TuvoCliCommandTable::findVerb(m_verb);
        if (!verb)
            return failUnknownVerb(m_verb);
    }
    if (isSet(QStringLiteral("help")) || isSet(QStringLiteral("version")))
        return true;
    if (!verb)
        return fail(QStringLiteral("no verb given"));
    if (verb->action == TuvoCliCommandTable::Action::Help) {
        if (m_arguments.size() > 1)
            return fail(QStringLiteral("help takes at most one verb"));
        if (!m_arguments.isEmpty() && !TuvoCliCommandTable::findVerb(m_arguments.first()))
            return failUnknownVerb(m_arguments.first());
        return true;
    }

    for (const TuvoCliCommandTable::Option *option : qAsConst(given)) {
        bool global = false;
        for (const TuvoCliCommandTable::Option &candidate : TuvoCliCommandTable::globalOptions())
            global = global || candidate.longName == option->longName;
        if (!global && !verb->options.contains(option->longName))
            return fail(QStringLiteral("--%1 is not an option of %2").arg(option->longName, m_verb));
    }
    int required = 0;
    for (const TuvoCliCommandTable::Argument &argument : verb->arguments)
        required += argument.optional ? 0 : 1;
    const QString syntax = TuvoCliCommandTable::argumentSyntax(*verb);
    if (m_arguments.size() < required)
        return fail(QStringLiteral("%1 needs %2").arg(m_verb, syntax));
    if (m_arguments.size() > verb->arguments.size())
        return fail(QStringLiteral("too many arguments: %1 %2").arg(m_verb, syntax));
    for (int i = 0; i < m_arguments.size(); ++i) {
        if (m_arguments.at(i).isEmpty() && verb->arguments.at(i).kind != TuvoCliCommandTable::Text)
            return fail(QStringLiteral("%1 must not be empty").arg(verb->arguments.at(i).name));
    }
    return checkValues();
}

bool TuvoCliCommandLine::checkValues()
{
    bool ok = false;
    const double seconds = value(QStringLiteral("timeout")).toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 24 * 3600 || !std::isfinite(seconds))
        return fail(QStringLiteral("--timeout needs a number of seconds above 0, not \"%1\"")
                        .arg(value(QStringLiteral("timeout"))));
    m_timeoutMs = qMax(1, int(std::lround(seconds * 1000)));

    for (const QString &name : {QStringLiteral("skip"), QStringLiteral("count"), QStringLiteral("start"),
                                QStringLiteral("at")}) {
        if (isSet(name) && !isUnsigned(value(name)))
            return fail(QStringLiteral("--%1 needs a whole number of 0 or more, not \"%2\"").arg(name, value(name)));
    }
    if (isSet(QStringLiteral("type")) && !TuvoCliCommandTable::typeNames().contains(value(QStringLiteral("type"))))
        return fail(QStringLiteral("--type must be one of %1, not \"%2\"")
                        .arg(TuvoCliCommandTable::typeNames().join(QStringLiteral(", ")),
                             value(QStringLiteral("type"))));
    if (isSet(QStringLiteral("start")) && isSet(QStringLiteral("content-type")))
        return fail(QStringLiteral("--start and --content-type cannot be used together"));
    if ((isSet(QStringLiteral("start")) || isSet(QStringLiteral("content-type"))) && m_arguments.size() < 2)
        return fail(QStringLiteral("--%1 needs a URI to play")
                        .arg(isSet(QStringLiteral("start")) ? QStringLiteral("start") : QStringLiteral("content-type")));
    const TuvoCliCommandTable::Action action = this->action();
    if (action == TuvoCliCommandTable::Action::List && !m_arguments.isEmpty()
        && !TuvoCliCommandTable::kindNames().contains(m_arguments.first()))
        return fail(QStringLiteral("KIND must be plugin, source or renderer, not \"%1\"").arg(m_arguments.first()));
    if (action == TuvoCliCommandTable::Action::Goto && !isUnsigned(m_arguments.value(1)))
        return fail(QStringLiteral("INDEX must be a whole number of 0 or more, not \"%1\"").arg(m_arguments.value(1)));
    if (action == TuvoCliCommandTable::Action::Seek) {
        static const QRegularExpression position(QStringLiteral("^([+-]?)([0-9]+)([+-]?)$"));
        const QRegularExpressionMatch match = position.match(m_arguments.value(1));
        if (!match.hasMatch() || (!match.captured(1).isEmpty() && !match.captured(3).isEmpty())
            || !isUnsigned(match.captured(2)) || match.captured(2).toUInt() > uint(INT_MAX))
            return fail(QStringLiteral("POSITION must be seconds (30), or +N, -N, N+, N- to seek by N, not \"%1\"")
                            .arg(m_arguments.value(1)));
    }
    return true;
}
