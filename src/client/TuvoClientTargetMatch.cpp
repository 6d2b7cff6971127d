#include "TuvoClientTargetMatch.h"

#include <TuvoBusNames.h>

#include <QStringList>

#include <algorithm>

namespace {
QString describeKinds(const QList<TuvoClientObjectInfo::Kind> &kinds)
{
    QStringList names;
    for (TuvoClientObjectInfo::Kind kind : kinds)
        names.append(TuvoClientObjectInfo::kindName(kind));
    return names.join(QStringLiteral(" or "));
}
} // namespace

TuvoClientTargetMatch TuvoClientTargetMatch::find(const QList<TuvoClientObjectInfo> &objects,
                                                  const QList<TuvoClientObjectInfo::Kind> &kinds,
                                                  const QString &text)
{
    TuvoClientTargetMatch match;
    match.m_text = text;
    match.m_what = describeKinds(kinds);
    if (text.isEmpty())
        return match;

    QList<TuvoClientObjectInfo> exact;
    QList<TuvoClientObjectInfo> prefixed;
    for (const TuvoClientObjectInfo &object : objects) {
        if (!kinds.contains(object.kind))
            continue;
        match.m_names.append(object.kind == TuvoClientObjectInfo::Plugin ? TuvoBusNames::shortPluginName(object.name)
                                                                         : object.name);
        bool isExact = object.name == text || object.busName == text;
        bool isPrefix = object.name.startsWith(text) || object.busName.startsWith(text);
        if (object.kind == TuvoClientObjectInfo::Plugin) {
            const QString shortName = TuvoBusNames::shortPluginName(object.name);
            isExact = isExact || shortName == text || object.name == TuvoBusNames::pluginName(text);
            isPrefix = isPrefix || shortName.startsWith(text);
        }
        if (isExact)
            exact.append(object);
        else if (isPrefix)
            prefixed.append(object);
    }
    const QList<TuvoClientObjectInfo> &matching = exact.isEmpty() ? prefixed : exact;
    if (matching.size() == 1) {
        match.m_result = Found;
        match.m_object = matching.first();
    } else if (matching.size() > 1) {
        match.m_result = Ambiguous;
        match.m_candidates = matching;
        std::sort(match.m_candidates.begin(), match.m_candidates.end(),
                  [](const TuvoClientObjectInfo &a, const TuvoClientObjectInfo &b) {
                      return a.busName < b.busName;
                  });
    }
    return match;
}

QString TuvoClientTargetMatch::closest(const QString &text, const QStringList &candidates)
{
    QString best;
    int bestDistance = qMax(1, int(text.size()) / 3) + 1;
    for (const QString &candidate : candidates) {
        // Levenshtein distance, one row at a time.
        QList<int> row(candidate.size() + 1);
        for (int j = 0; j <= candidate.size(); ++j)
            row[j] = j;
        for (int i = 1; i <= text.size(); ++i) {
            int diagonal = row[0];
            row[0] = i;
            for (int j = 1; j <= candidate.size(); ++j) {
                const int above = row[j];
                row[j] = std::min({above + 1, row[j - 1] + 1,
                                   diagonal + (text.at(i - 1) == candidate.at(j - 1) ? 0 : 1)});
                diagonal = above;
            }
        }
        if (row.last() < bestDistance && candidate != text) {
            bestDistance = row.last();
            best = candidate;
        }
    }
    return best;
}

TuvoClientError TuvoClientTargetMatch::error() const
{
    switch (m_result) {
    case Found:
        return TuvoClientError();
    case NotFound: {
        QString message = QStringLiteral("no %1 \"%2\" is on the bus").arg(m_what, m_text);
        const QString likely = closest(m_text, m_names);
        if (!likely.isEmpty())
            message += QStringLiteral("; did you mean \"%1\"?").arg(likely);
        return TuvoClientError(TuvoClientError::NotFound, message);
    }
    case Ambiguous: {
        QStringList names;
        for (const TuvoClientObjectInfo &candidate : m_candidates)
            names.append(candidate.busName);
        return TuvoClientError(TuvoClientError::Ambiguous,
                               QStringLiteral("\"%1\" matches more than one %2: %3")
                                   .arg(m_text, m_what, names.join(QStringLiteral(", "))));
    }
    }
    return TuvoClientError();
}
