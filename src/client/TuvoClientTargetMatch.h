#ifndef TUVOCLIENTTARGETMATCH_H
#define TUVOCLIENTTARGETMATCH_H

#include "TuvoClientError.h"
#include "TuvoClientGlobal.h"
#include "TuvoClientObjectInfo.h"

#include <QList>
#include <QStringList>

/*!
 * Finds the one object a user means by a name: a uuid (or plugin name), a bus name,
 * or a prefix of either that only one object has. An exact name wins over prefixes;
 * several objects with the same exact name, or a prefix of several, are ambiguous and
 * never resolved to one of them. Plugins are also found by their short name
 * ("sample" for "libtuvo_sample_plugin") and by their library's file name or path
 * ("libtuvo-sample-plugin.so").
 */
class TUVO_CLIENT_EXPORT TuvoClientTargetMatch
{
public:
    enum Result { Found, NotFound, Ambiguous };

    static TuvoClientTargetMatch find(const QList<TuvoClientObjectInfo> &objects,
                                      const QList<TuvoClientObjectInfo::Kind> &kinds,
                                      const QString &text);

    Result result() const { return m_result; }
    bool isFound() const { return m_result == Found; }
    TuvoClientObjectInfo object() const { return m_object; }
    /*! The objects an ambiguous name matched, ordered by bus name. */
    QList<TuvoClientObjectInfo> candidates() const { return m_candidates; }
    /*! NotFound or Ambiguous as an error whose message lists the candidates, or names the likeliest. */
    TuvoClientError error() const;

    /*!
     * Of \a candidates, the one \a text is most likely a misspelling of: the fewest
     * letters changed, added or left out, and at most a third of them; empty when none is.
     */
    static QString closest(const QString &text, const QStringList &candidates);

private:
    Result m_result = NotFound;
    QString m_text;
    QString m_what;
    TuvoClientObjectInfo m_object;
    QList<TuvoClientObjectInfo> m_candidates;
    QStringList m_names;
};

#endif
