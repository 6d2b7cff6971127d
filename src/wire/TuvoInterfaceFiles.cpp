#include "TuvoInterfaceFiles.h"

#include "TuvoWireInterfaceXml.h"

#include <QHash>
#include <QXmlStreamReader>

namespace {
using ArgumentNames = QHash<QString, QStringList>; // "interface.member" -> names

const QList<const char *> &interfaceTexts()
{
    static const QList<const char *> texts = {TUVO_WIRE_INTERFACE_XML_LIST};
    return texts;
}

ArgumentNames readSignalArguments()
{
    ArgumentNames names;
    for (const char *text : interfaceTexts()) {
        QXmlStreamReader xml(QByteArray::fromRawData(text, int(qstrlen(text))));
        QString interface;
        QString signal;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const auto attributes = xml.attributes();
            if (xml.name() == QLatin1String("interface")) {
                interface = attributes.value(QLatin1String("name")).toString();
            } else if (xml.name() == QLatin1String("signal")) {
                signal = interface + QLatin1Char('.') + attributes.value(QLatin1String("name")).toString();
                names.insert(signal, {});
            } else if (xml.name() == QLatin1String("method")) {
                signal.clear();
            } else if (xml.name() == QLatin1String("arg") && !signal.isEmpty()) {
                names[signal].append(attributes.value(QLatin1String("name")).toString());
            }
        }
    }
    return names;
}
} // namespace

QString TuvoInterfaceFiles::interfaceXml(const QString &interface)
{
    const QString opening = QStringLiteral("<interface name=\"%1\">").arg(interface);
    for (const char *text : interfaceTexts()) {
        const QString xml = QString::fromUtf8(text);
        if (xml.contains(opening))
            return xml;
    }
    return QString();
}

QStringList TuvoInterfaceFiles::signalArgumentNames(const QString &interface, const QString &member)
{
    static const ArgumentNames names = readSignalArguments();
    return names.value(interface + QLatin1Char('.') + member);
}
