#include "TuvoCliCommandTable.h"

#include <TuvoClientValue.h>

namespace {
using Option = TuvoCliCommandTable::Option;
using Verb = TuvoCliCommandTable::Verb;
using Argument = TuvoCliCommandTable::Argument;
using K = TuvoCliCommandTable::ValueKind;
using Action = TuvoCliCommandTable::Action;

const QString ObjectJson = QStringLiteral(
    "kind (\"plugin\", \"source\", \"renderer\"), name (uuid, or the plugin name), bus_name, "
    "owner (unique bus name of the process), plugin (the plugin whose process publishes it), "
    "title (its name()), plugin_name (the plugin name it was announced with, or else the one in its "
    "bus name); for plugins also activatable (whether the bus starts it on demand); a plugin that "
    "does not run yet has an empty owner");
const QString ErrorJson = QStringLiteral(
    "{\"error\": {type, code, message}} when the operation ends with an error; type is one of "
    "remote, refused, timeout, not-found, cancelled, malformed, dbus");
} // namespace

QString TuvoCliCommandTable::version()
{
    return QStringLiteral(TUVO_CLI_VERSION);
}

QString TuvoCliCommandTable::synopsis()
{
    return QStringLiteral("tuvo-client [OPTIONS] VERB [ARGUMENTS]");
}

QString TuvoCliCommandTable::purpose()
{
    return QStringLiteral(
        "Finds, activates and uses the media sources and renderers that tuvo-dbus-wrapper "
        "processes publish on the D-Bus session bus: lists and watches them, browses and "
        "queries sources, controls and queries renderers, and reads and writes their extension "
        "properties. Data goes to standard output, as an aligned table or, with --json, as one "
        "JSON object per line; messages go to standard error.");
}

QString TuvoCliCommandTable::targetRules()
{
    return QStringLiteral(
        "SOURCE, RENDERER and TARGET (either) are named by uuid (sample_source), by bus name "
        "(com.oxbel.tuvo.source.Sample-Plugin.sample_source) or by a prefix of either that only "
        "one published object has; an exact name wins over prefixes. A name that fits more than "
        "one object is an error that lists them: a command never goes to an object other than "
        "the one named, and it goes to the process that published that object when the "
        "command started. A plugin's objects are on the bus only while some client keeps the "
        "plugin active: --plugin activates it for as long as the command runs, waits for the "
        "named object to be published and only considers that plugin's objects.");
}

const QList<Option> &TuvoCliCommandTable::globalOptions()
{
    static const QList<Option> options = {
        {QStringLiteral("help"), QLatin1Char('h'), QString(), K::NoValue,
         QStringLiteral("Show this help, or the help of the given verb, and exit."), QString()},
        {QStringLiteral("version"), QChar(), QString(), K::NoValue,
         QStringLiteral("Show the version and exit."), QString()},
        {QStringLiteral("json"), QLatin1Char('j'), QString(), K::NoValue,
         QStringLiteral("Print one JSON object per line instead of a table."), QString()},
        {QStringLiteral("timeout"), QLatin1Char('t'), QStringLiteral("SECONDS"), K::Number,
         QStringLiteral("How long to wait for an answer; for browse and query, how long to wait "
                        "for the next batch of results."),
         QStringLiteral("5")},
        {QStringLiteral("plugin"), QLatin1Char('p'), QStringLiteral("PLUGIN"), K::Plugin,
         QStringLiteral("Activate PLUGIN (its name, short name such as sample, bus name, library "
                        "file name, or a unique prefix) while the command runs, and use only its objects."),
         QString()},
    };
    return options;
}

const QList<Option> &TuvoCliCommandTable::verbOptions()
{
    static const QList<Option> options = {
        {QStringLiteral("skip"), QChar(), QStringLiteral("N"), K::Number,
         QStringLiteral("browse: leave out the first N results."), QStringLiteral("0")},
        {QStringLiteral("count"), QChar(), QStringLiteral("N"), K::Number,
         QStringLiteral("browse: return at most N results; 0 means all."), QStringLiteral("0")},
        {QStringLiteral("predicate"), QChar(), QStringLiteral("TEXT"), K::Text,
         QStringLiteral("browse: the source's filter for the results."), QString()},
        {QStringLiteral("start"), QChar(), QStringLiteral("SECONDS"), K::Number,
         QStringLiteral("play: start the URI at this position."), QStringLiteral("0")},
        {QStringLiteral("content-type"), QChar(), QStringLiteral("TYPE"), K::Text,
         QStringLiteral("play: the content type of the URI (play_uri_content_type)."), QString()},
        {QStringLiteral("at"), QChar(), QStringLiteral("SECONDS"), K::Number,
         QStringLiteral("pause: pause once playback reaches this position (pause_at)."), QString()},
        {QStringLiteral("type"), QChar(), QStringLiteral("TYPE"), K::TypeName,
         QStringLiteral("set: the type of VALUE; without it, the type the property holds now."),
         QString()},
    };
    return options;
}

const QList<Verb> &TuvoCliCommandTable::verbs()
{
    static const QList<Verb> verbs = {
        {QStringLiteral("list"), Action::List,
         {{QStringLiteral("KIND"), K::Kind, true}},
         {},
         QStringLiteral("List the running plugins and the sources and renderers published now."),
         QStringLiteral("Prints one row per plugin, source and renderer on the bus (only those of "
                        "KIND: plugin, source or renderer), with the name the other verbs "
                        "accept in the NAME column. Nothing on the bus prints nothing and exits "
                        "0. The objects are asked for their titles; one that does not answer "
                        "within the time-out is listed without its title and the exit status is "
                        "the time-out's. Plugins that the bus starts on demand but that do not run "
                        "yet are listed too, marked so in the TITLE column; they can be named with "
                        "--plugin like running ones."),
         QStringLiteral("one object per plugin, source and renderer: ") + ObjectJson,
         QStringLiteral("tuvo-client list")},
        {QStringLiteral("watch"), Action::Watch,
         {{QStringLiteral("TARGET"), K::Target, true}, {QStringLiteral("PROPERTY"), K::Text, true}},
         {},
         QStringLiteral("Follow hello signals, objects appearing and vanishing, and their signals."),
         QStringLiteral("Prints what exists at the start (event \"present\"), then one line per "
                        "event, as it happens: \"appeared\" and \"vanished\" as names come and go, "
                        "\"hello\" for every hello signal and \"signal\" for every signal of every "
                        "published object. It keeps following across wrapper restarts until "
                        "interrupted, and then exits 0. With TARGET only that object's signals "
                        "are followed; with PROPERTY only that extension property, starting with "
                        "its current value (event \"value\")."),
         QStringLiteral("one object per event: time, event (present, appeared, vanished, hello, "
                        "signal, value), kind, name, bus_name, owner, plugin, title; for hello also "
                        "plugin_name; for signal: interface, signal, args (list of values), "
                        "types; for signal property_changed and value: property, value, type"),
         QStringLiteral("tuvo-client watch --plugin libtuvo_sample_plugin")},
        {QStringLiteral("activate"), Action::Activate,
         {{QStringLiteral("PLUGIN"), K::Plugin, false}},
         {},
         QStringLiteral("Keep a plugin active until interrupted."),
         QStringLiteral("Activates PLUGIN (starting its wrapper through the bus when none runs), "
                        "prints the objects it published like list, and holds the activation until "
                        "interrupted; then exits 0. When the wrapper leaves the bus, the plugin is "
                        "started and activated again as long as the bus can start it; otherwise "
                        "activate ends with its own exit status, 7."),
         QStringLiteral("as list"),
         QStringLiteral("tuvo-client activate libtuvo_sample_plugin")},
        {QStringLiteral("browse"), Action::Browse,
         {{QStringLiteral("SOURCE"), K::Source, false}, {QStringLiteral("OBJECT"), K::Text, true}},
         {QStringLiteral("skip"), QStringLiteral("count"), QStringLiteral("predicate")},
         QStringLiteral("Browse a container of a source (the root without OBJECT)."),
         QStringLiteral("Prints the results batch by batch as they arrive, in the source's "
                        "order: index, id and metadata, each value in its type. An error of the "
                        "source is reported with its code and text after the results before it. "
                        "On a terminal, a long browse shows its progress on standard error. "
                        "Interrupting cancels the browse at the source."),
         QStringLiteral("one object per result: index, remaining (results still to come), id, "
                        "metadata (key: value), types (key: type name), metadata_error (only "
                        "when the metadata could not be read); ")
             + ErrorJson,
         QStringLiteral("tuvo-client browse sample_source albums --count 10")},
        {QStringLiteral("query"), Action::Query,
         {{QStringLiteral("SOURCE"), K::Source, false}, {QStringLiteral("TEXT"), K::Text, false}},
         {},
         QStringLiteral("Query a source."),
         QStringLiteral("Prints the rows batch by batch as they arrive: index and values. "
                        "Interrupting cancels the query at the source."),
         QStringLiteral("one object per row: index, values (list of strings); ") + ErrorJson,
         QStringLiteral("tuvo-client query sample_source night")},
        {QStringLiteral("play"), Action::Play,
         {{QStringLiteral("RENDERER"), K::Renderer, false}, {QStringLiteral("URI"), K::Text, true}},
         {QStringLiteral("start"), QStringLiteral("content-type")},
         QStringLiteral("Play the current item, or URI."),
         QStringLiteral("Without URI: play. A URI without a scheme is a file, relative to the "
                        "working directory. With URI: play_uri from --start, or "
                        "play_uri_content_type with --content-type. Prints nothing; what the "
                        "renderer makes of it shows in its signals (see watch)."),
         QString(),
         QStringLiteral("tuvo-client play sample_renderer sample:///track_1")},
        {QStringLiteral("pause"), Action::Pause,
         {{QStringLiteral("RENDERER"), K::Renderer, false}},
         {QStringLiteral("at")},
         QStringLiteral("Pause, now or at a position."), QStringLiteral("Prints nothing."), QString(),
         QStringLiteral("tuvo-client pause sample_renderer")},
        {QStringLiteral("resume"), Action::Resume,
         {{QStringLiteral("RENDERER"), K::Renderer, false}},
         {},
         QStringLiteral("Resume paused playback."), QStringLiteral("Prints nothing."), QString(),
         QStringLiteral("tuvo-client resume sample_renderer")},
        {QStringLiteral("stop"), Action::Stop,
         {{QStringLiteral("RENDERER"), K::Renderer, false}},
         {},
         QStringLiteral("Stop playback."), QStringLiteral("Prints nothing."), QString(),
         QStringLiteral("tuvo-client stop sample_renderer")},
        {QStringLiteral("seek"), Action::Seek,
         {{QStringLiteral("RENDERER"), K::Renderer, false}, {QStringLiteral("POSITION"), K::Number, false}},
         {},
         QStringLiteral("Seek to POSITION seconds, or by +N / -N seconds."),
         QStringLiteral("POSITION 30 seeks to 30 s from the start, +10 (or 10+) ten seconds "
                        "ahead, -10 (or 10-) ten seconds back. Prints nothing."),
         QString(),
         QStringLiteral("tuvo-client seek sample_renderer +10")},
        {QStringLiteral("next"), Action::Next,
         {{QStringLiteral("RENDERER"), K::Renderer, false}},
         {},
         QStringLiteral("Go to the next item of the assigned playlist."),
         QStringLiteral("Prints nothing. Ends the renderer's waiting queries."), QString(),
         QStringLiteral("tuvo-client next sample_renderer")},
        {QStringLiteral("previous"), Action::Previous,
         {{QStringLiteral("RENDERER"), K::Renderer, false}},
         {},
         QStringLiteral("Go to the previous item of the assigned playlist."),
         QStringLiteral("Prints nothing. Ends the renderer's waiting queries."), QString(),
         QStringLiteral("tuvo-client previous sample_renderer")},
        {QStringLiteral("goto"), Action::Goto,
         {{QStringLiteral("RENDERER"), K::Renderer, false}, {QStringLiteral("INDEX"), K::Number, false}},
         {},
         QStringLiteral("Go to item INDEX of the assigned playlist."), QStringLiteral("Prints nothing."),
         QString(), QStringLiteral("tuvo-client goto sample_renderer 2")},
        {QStringLiteral("assign-playlist"), Action::AssignPlaylist,
         {{QStringLiteral("RENDERER"), K::Renderer, false}, {QStringLiteral("PLAYLIST"), K::Text, false}},
         {},
         QStringLiteral("Give the renderer the playlist with id PLAYLIST."), QStringLiteral("Prints nothing."),
         QString(), QStringLiteral("tuvo-client assign-playlist sample_renderer sample_favourites")},
        {QStringLiteral("status"), Action::Status,
         {{QStringLiteral("RENDERER"), K::Renderer, false}},
         {},
         QStringLiteral("Show the renderer's state, playlist and current item."),
         QStringLiteral("Prints one row: state, playlist, index in it and current item."),
         QStringLiteral("state (number), state_name (stopped, playing, paused, buffering, error, "
                        "or the number), playlist, playlist_index, object"),
         QStringLiteral("tuvo-client status sample_renderer")},
        {QStringLiteral("position"), Action::Position,
         {{QStringLiteral("RENDERER"), K::Renderer, false}},
         {},
         QStringLiteral("Show the playback position in seconds."),
         QStringLiteral("Prints the position, a number of seconds."),
         QStringLiteral("position"),
         QStringLiteral("tuvo-client position sample_renderer")},
        {QStringLiteral("media-info"), Action::MediaInfo,
         {{QStringLiteral("RENDERER"), K::Renderer, false}, {QStringLiteral("KEY"), K::Text, true}},
         {},
         QStringLiteral("Show the metadata of the current item, or only KEY."),
         QStringLiteral("Prints one row per value: key, type and value; the item's id first."),
         QStringLiteral("id, metadata (key: list of values), types (key: list of type names)"),
         QStringLiteral("tuvo-client media-info sample_renderer title")},
        {QStringLiteral("get"), Action::Get,
         {{QStringLiteral("TARGET"), K::Target, false}, {QStringLiteral("PROPERTY"), K::Text, false}},
         {},
         QStringLiteral("Show an extension property of a source or renderer."),
         QStringLiteral("Prints the value."),
         QStringLiteral("property, type, value"),
         QStringLiteral("tuvo-client get sample_renderer volume")},
        {QStringLiteral("set"), Action::Set,
         {{QStringLiteral("TARGET"), K::Target, false}, {QStringLiteral("PROPERTY"), K::Text, false},
          {QStringLiteral("VALUE"), K::Text, false}},
         {QStringLiteral("type")},
         QStringLiteral("Set an extension property of a source or renderer."),
         QStringLiteral("VALUE is read as --type, or as the type the property holds now. Prints "
                        "nothing; a value the object does not accept exits 1."),
         QString(),
         QStringLiteral("tuvo-client set sample_renderer volume 40")},
        {QStringLiteral("help"), Action::Help,
         {{QStringLiteral("VERB"), K::Text, true}},
         {},
         QStringLiteral("Show this help, or the help of VERB."), QString(), QString(),
         QStringLiteral("tuvo-client help browse")},
    };
    return verbs;
}

const QList<TuvoCliCommandTable::ExitStatus> &TuvoCliCommandTable::exitStatuses()
{
    static const QList<ExitStatus> statuses = {
        {Success, QStringLiteral("success; also list with nothing on the bus, watch and activate "
                                 "when interrupted, and any verb whose standard output was closed")},
        {Failed, QStringLiteral("the source or renderer reported an error or refused the request")},
        {Usage, QStringLiteral("usage error: unknown verb or option, missing or bad argument")},
        {NotFound, QStringLiteral("no such plugin, source or renderer, or it left the bus")},
        {Ambiguous, QStringLiteral("the name fits more than one object")},
        {Timeout, QStringLiteral("a service did not answer within the time-out")},
        {DBusFailure, QStringLiteral("no session bus, or another D-Bus failure")},
        {PluginGone, QStringLiteral("activate: the plugin's process left the bus and the bus cannot start it "
                                    "again (it has no service file), or it kept leaving soon after each start")},
        {Interrupted, QStringLiteral("interrupted by SIGINT or SIGTERM (a running browse or query is "
                                     "cancelled first)")},
    };
    return statuses;
}

const Option *TuvoCliCommandTable::findOption(const QString &longName)
{
    for (const QList<Option> *list : {&globalOptions(), &verbOptions()}) {
        for (const Option &option : *list) {
            if (option.longName == longName)
                return &option;
        }
    }
    return nullptr;
}

const Option *TuvoCliCommandTable::findShortOption(QChar shortName)
{
    for (const QList<Option> *list : {&globalOptions(), &verbOptions()}) {
        for (const Option &option : *list) {
            if (!option.shortName.isNull() && option.shortName == shortName)
                return &option;
        }
    }
    return nullptr;
}

const Verb *TuvoCliCommandTable::findVerb(const QString &name)
{
    for (const Verb &verb : verbs()) {
        if (verb.name == name)
            return &verb;
    }
    return nullptr;
}

QString TuvoCliCommandTable::argumentSyntax(const Verb &verb)
{
    QStringList parts;
    QString closing;
    for (const Argument &argument : verb.arguments) {
        if (argument.optional) {
            parts.append(QLatin1Char('[') + argument.name);
            closing += QLatin1Char(']');
        } else {
            parts.append(argument.name);
        }
    }
    return parts.join(QLatin1Char(' ')) + closing;
}

QStringList TuvoCliCommandTable::typeNames()
{
    return TuvoClientValue::parsableTypeNames();
}

QStringList TuvoCliCommandTable::kindNames()
{
    return {QStringLiteral("plugin"), QStringLiteral("source"), QStringLiteral("renderer")};
}
