#include "InterfaceMembers.h"

#include <QFile>
#include <QXmlStreamReader>

namespace InterfaceMembers {

namespace {
struct Member {
    QString kind;
    QString name;
    QStringList args; // "in s", "out u"
};

QList<Member> members(const QString &xml, const QString &interface)
{
    QList<Member> result;
    QXmlStreamReader reader(xml);
    bool inInterface = false;
    qsizetype current = -1;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QStringView element = reader.name();
            if (element == QLatin1String("interface")) {
                inInterface = reader.attributes().value(QLatin1String("name")) == interface;
            } else if (inInterface && (element == QLatin1String("method") || element == QLatin1String("signal"))) {
                result.append({element.toString(), reader.attributes().value(QLatin1String("name")).toString(), {}});
                current = result.size() - 1;
            } else if (inInterface && current >= 0 && element == QLatin1String("arg")) {
                QString direction = reader.attributes().value(QLatin1String("direction")).toString();
                if (direction.isEmpty())
                    direction = result.at(current).kind == QLatin1String("signal") ? QStringLiteral("out") : QStringLiteral("in");
                result[current].args.append(direction + QLatin1Char(' ')
                                     + reader.attributes().value(QLatin1String("type")).toString());
            }
        } else if (reader.isEndElement()) {
            const QStringView element = reader.name();
            if (element == QLatin1String("interface"))
                inInterface = false;
            else if (element == QLatin1String("method") || element == QLatin1String("signal"))
                current = -1;
        }
    }
    return result;
}
} // namespace

QStringList fromXml(const QString &xml, const QString &interface)
{
    QStringList texts;
    for (const Member &member : members(xml, interface)) {
        // Where the out-arguments stand among the in-arguments is no part of a
        // signature; each direction's order is.
        QStringList in, out;
        for (const QString &arg : member.args)
            (arg.startsWith(QLatin1String("in ")) ? in : out).append(arg.section(QLatin1Char(' '), 1));
        QString text = member.kind + QLatin1Char(' ') + member.name + QLatin1Char('(')
                       + in.join(QLatin1String(", ")) + QLatin1Char(')');
        if (!out.isEmpty())
            text += QLatin1String(" -> (") + out.join(QLatin1String(", ")) + QLatin1Char(')');
        texts.append(text);
    }
    texts.sort();
    return texts;
}

QStringList fromFile(const QString &path, const QString &interface)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromXml(QString::fromUtf8(file.readAll()), interface);
}

QString inSignature(const QString &xml, const QString &interface, const QString &method)
{
    for (const Member &member : members(xml, interface)) {
        if (member.kind != QLatin1String("method") || member.name != method)
            continue;
        QString signature;
        for (const QString &arg : member.args) {
            if (arg.startsWith(QLatin1String("in ")))
                signature += arg.mid(3);
        }
        return signature;
    }
    return QString();
}

} // namespace InterfaceMembers
