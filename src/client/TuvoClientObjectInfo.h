#ifndef TUVOCLIENTOBJECTINFO_H
#define TUVOCLIENTOBJECTINFO_H

#include "TuvoClientGlobal.h"

#include <QList>
#include <QMetaType>
#include <QString>

/*!
 * One thing a wrapper process publishes: its plugin control object, or one of its
 * sources or renderers. What the bus names say is always there; the title and the
 * plugin name with blanks are known once a hello signal or get_name told them.
 */
class TUVO_CLIENT_EXPORT TuvoClientObjectInfo
{
public:
    enum Kind { Plugin, Source, Renderer };

    Kind kind = Source;
    /*! The uuid of a source or renderer; the derived plugin name of a plugin. */
    QString name;
    /*! The well-known bus name, e.g. "com.oxbel.tuvo.source.Sample-Plugin.sample_source". */
    QString busName;
    /*! The unique name of the connection that owns busName, e.g. ":1.42". */
    QString owner;
    /*! The object's name() as its plugin gives it ("Sample Source"); may be empty. */
    QString title;
    /*! The object's plugin name as the hello signal gives it ("Sample Plugin"); may be empty. */
    QString pluginName;
    /*! The derived name of the plugin whose process publishes the object; may be empty. */
    QString plugin;

    bool isValid() const { return !busName.isEmpty(); }

    /*! What a bus name of the wrapper's scheme says; invalid for any other name. */
    static TuvoClientObjectInfo fromBusName(const QString &busName);
    /*!
     * The kind and uuid of a source's or renderer's object path; a path says nothing of
     * the bus name, so the info is never valid(), and its name is empty for any other path.
     */
    static TuvoClientObjectInfo fromObjectPath(const QString &path);

    /*! Where the object lives on its owner's connection. */
    QString objectPath() const;
    /*! "plugin", "source" or "renderer". */
    QString kindName() const { return kindName(kind); }
    static QString kindName(Kind kind);
    /*! The kind of a name as kindName() gives it; false when \a text names none. */
    static bool kindFromName(const QString &text, Kind *kind);

    bool operator==(const TuvoClientObjectInfo &other) const;
    bool operator!=(const TuvoClientObjectInfo &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(TuvoClientObjectInfo)

#endif
