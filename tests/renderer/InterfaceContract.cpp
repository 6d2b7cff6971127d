#include "InterfaceContract.h"

#include <QFile>
#include <QXmlStreamReader>

QString InterfaceContract::Member::callShape() const
{
    return QStringLiteral("%1 %2(%3) [%4]").arg(kind, name, inSignature(), inNames.join(QLatin1Char(',')));
}

QString InterfaceContract::Member::description() const
{
    return callShape()
           + QStringLiteral(" -> (%1) [%2]").arg(outSignature(), outNames.join(QLatin1Char(',')));
}

InterfaceContract InterfaceContract::parse(const QString &xml, const QString &interface)
{
    InterfaceContract contract;
    QXmlStreamReader reader(xml);
    bool inInterface = false;
    bool found = false;
    Member member;
    while (!reader.atEnd()) {
        reader.readNext();
        const QString name = reader.name().toString();
        if (reader.isStartElement()) {
            const QXmlStreamAttributes attributes = reader.attributes();
            if (name == QLatin1String("interface")) {
                inInterface = attributes.value(QLatin1String("name")) == interface;
                found = found || inInterface;
            } else if (inInterface && (name == QLatin1String("method") || name == QLatin1String("signal"))) {
                member = Member();
                member.kind = name;
                member.name = attributes.value(QLatin1String("name")).toString();
            } else if (inInterface && name == QLatin1String("arg")) {
                const QString type = attributes.value(QLatin1String("type")).toString();
                const QString argName = attributes.value(QLatin1String("name")).toString();
                const bool out = member.kind == QLatin1String("method")
                                 && attributes.value(QLatin1String("direction")) == QLatin1String("out");
                (out ? member.outTypes : member.inTypes).append(type);
                (out ? member.outNames : member.inNames).append(argName);
            }
        } else if (reader.isEndElement()) {
            if (name == QLatin1String("interface"))
                inInterface = false;
            else if (inInterface && (name == QLatin1String("method") || name == QLatin1String("signal")))
                contract.m_members.append(member);
        }
    }
    if (reader.hasError())
        contract.m_error = reader.errorString();
    else if (!found)
        contract.m_error = QStringLiteral("no interface ") + interface;
    return contract;
}

InterfaceContract InterfaceContract::fromFile(const QString &path, const QString &interface)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        InterfaceContract contract;
        contract.m_error = QStringLiteral("cannot read ") + path;
        return contract;
    }
    return parse(QString::fromUtf8(file.readAll()), interface);
}

QStringList InterfaceContract::descriptions() const
{
    QStringList result;
    for (const Member &member : m_members)
        result.append(member.description());
    result.sort();
    return result;
}

QStringList InterfaceContract::callShapes() const
{
    QStringList result;
    for (const Member &member : m_members)
        result.append(member.callShape());
    result.sort();
    return result;
}

const InterfaceContract::Member *InterfaceContract::find(const QString &kind, const QString &name) const
{
    for (const Member &member : m_members) {
        if (member.kind == kind && member.name == name)
            return &member;
    }
    return nullptr;
}
