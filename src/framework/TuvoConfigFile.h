#ifndef TUVOCONFIGFILE_H
#define TUVOCONFIGFILE_H

#include "TuvoFrameworkGlobal.h"

#include <QByteArray>
#include <QList>
#include <QString>

/*!
 * A plugin's own configuration file: plain UTF-8 text, one "key=value" setting a line.
 * Blank lines and lines starting with "#" are ignored, blanks around keys and values
 * are trimmed, and a line without "=" is a key with an empty value. A key may occur
 * more than once; the settings keep their order.
 *
 * Files live in the user's configuration folder for tuvo, userPath():
 * $XDG_CONFIG_HOME/tuvo (~/.config/tuvo).
 */
class TUVO_FRAMEWORK_EXPORT TuvoConfigFile
{
public:
    struct Setting {
        int line = 0; //!< 1-based, for messages that point at the line
        QString key;
        QString value;
    };

    static QList<Setting> parse(const QByteArray &text);
    /*! The settings of the file at \a path; none when it is absent or unreadable. */
    static QList<Setting> read(const QString &path);
    /*! Where the file \a fileName of the user's tuvo configuration is. */
    static QString userPath(const QString &fileName);
    /*! A message about \a setting, as "line 3: <text>". */
    static QString lineMessage(const Setting &setting, const QString &text);
};

#endif
