#ifndef TUVOCLICOMMANDTABLE_H
#define TUVOCLICOMMANDTABLE_H

#include <QList>
#include <QString>
#include <QStringList>

/*!
 * Everything tuvo-client accepts and promises, in one place: its verbs with their
 * arguments, its options, its exit statuses and the fields of its JSON output. The
 * parser, --help, the man page and the bash completion are all made from this table,
 * so none of them can name an option the others do not know.
 */
class TuvoCliCommandTable
{
public:
    /*! What an argument or option value is; the completion offers names by kind. */
    enum ValueKind {
        NoValue,   //!< a flag
        Text,      //!< free text
        Number,    //!< a number
        Source,    //!< a source: uuid, bus name or unique prefix
        Renderer,  //!< a renderer: likewise
        Target,    //!< a source or renderer
        Plugin,    //!< a plugin name
        Kind,      //!< plugin, source or renderer
        TypeName,  //!< a value type for set
    };

    struct Option {
        QString longName;   //!< "timeout", used as --timeout
        QChar shortName;    //!< 't', used as -t; null when there is none
        QString valueName;  //!< "SECONDS"; empty for a flag
        ValueKind valueKind;
        QString description;
        QString defaultValue;
    };

    struct Argument {
        QString name;       //!< "SOURCE"
        ValueKind kind;
        bool optional;
    };

    /*! What a verb does: the command that runs it goes by this, never by the name. */
    enum class Action {
        List, Activate, Watch, Browse, Query,
        Play, Pause, Resume, Stop, Seek, Next, Previous, Goto, AssignPlaylist,
        Status, Position, MediaInfo,
        Get, Set, Help,
    };

    struct Verb {
        QString name;               //!< "browse"
        Action action;
        QList<Argument> arguments;
        QStringList options;        //!< long names of the options of this verb only
        QString summary;            //!< one line
        QString description;        //!< what it does and prints
        QString jsonFields;         //!< the JSON objects it prints, one per line
        QString example;            //!< a command line
    };

    struct ExitStatus {
        int code;
        QString meaning;
    };

    enum Code {
        Success = 0,
        Failed = 1,      //!< the source or renderer reported an error or refused
        Usage = 2,
        NotFound = 3,
        Ambiguous = 4,
        Timeout = 5,
        DBusFailure = 6,
        PluginGone = 7,  //!< activate: the plugin's process left the bus for good
        Interrupted = 130,
    };

    static QString programName() { return QStringLiteral("tuvo-client"); }
    static QString version();
    static QString synopsis();
    static QString purpose();
    /*! How a SOURCE, RENDERER or TARGET is named. */
    static QString targetRules();

    /*! Options every verb accepts. */
    static const QList<Option> &globalOptions();
    /*! Options that belong to one verb or another. */
    static const QList<Option> &verbOptions();
    static const QList<Verb> &verbs();
    static const QList<ExitStatus> &exitStatuses();

    static const Option *findOption(const QString &longName);
    static const Option *findShortOption(QChar shortName);
    static const Verb *findVerb(const QString &name);
    /*! "SOURCE [OBJECT]" */
    static QString argumentSyntax(const Verb &verb);
    /*! The names of the value types that set --type accepts. */
    static QStringList typeNames();
    static QStringList kindNames();
};

#endif
