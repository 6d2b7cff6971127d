#include "InterfaceContract.h"

#include "TestPaths.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QFile>
#include <QMetaMethod>
#include <QXmlStreamReader>

namespace InterfaceContract {
namespace {
QString line(const QString &kind, const QString &name, const QStringList &in,
             const QStringList &out)
{
    return QStringLiteral("%1 %2(%3 -> %4)").arg(kind, name, in.join(QLatin1String(", ")),
                                                  out.join(QLatin1String(", ")));
}

QString argument(const QString &signature, const QString &name)
{
    return name.isEmpty() ? signature : signature + QLatin1Char(' ') + name;
}

QString memberName(const QString &line)
{
    const int start = line.indexOf(QLatin1Char(' ')) + 1;
    return line.mid(start, line.indexOf(QLatin1Char('(')) - start);
}
} // namespace

QStringList fromXml(const QString &xml, const QString &interface)
{
    QStringList lines;
    QXmlStreamReader reader(xml);
    bool inside = false;
    QString kind, name;
    QStringList in, out;
    while (!reader.atEnd()) {
        reader.readNext();
        const QString element = reader.name().toString();
        if (reader.isStartElement()) {
            const QXmlStreamAttributes attributes = reader.attributes();
            if (element == QLatin1String("interface")) {
                inside = attributes.value(QLatin1String("name")) == interface;
            } else if (inside && (element == QLatin1String("method") || element == QLatin1String("signal"))) {
                kind = element;
                name = attributes.value(QLatin1String("name")).toString();
                in.clear();
                out.clear();
            } else if (inside && element == QLatin1String("arg")) {
                const QString direction = attributes.value(QLatin1String("direction")).toString();
                const bool isOut = kind == QLatin1String("signal") || direction == QLatin1String("out");
                (isOut ? out : in)
                    .append(argument(attributes.value(QLatin1String("type")).toString(),
                                     attributes.value(QLatin1String("name")).toString()));
            }
        } else if (reader.isEndElement() && inside) {
            if (element == QLatin1String("method") || element == QLatin1String("signal"))
                lines.append(line(kind, name, in, out));
            else if (element == QLatin1String("interface"))
                inside = false;
        }
    }
    if (reader.hasError())
        return {QStringLiteral("unreadable XML: ") + reader.errorString()};
    return lines;
}

QStringList fromMetaObject(const QMetaObject &meta, QSet<QString> *delayed)
{
    QStringList lines;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        const bool isSignal = method.methodType() == QMetaMethod::Signal;
        const bool isSlot = method.methodType() == QMetaMethod::Slot
                            && method.access() == QMetaMethod::Public;
        if (!isSignal && !isSlot)
            continue;
        const QString name = QString::fromLatin1(method.name());
        QStringList in, out;
        bool takesMessage = false;
        for (int p = 0; p < method.parameterCount(); ++p) {
            const QMetaType type = method.parameterMetaType(p);
            if (type == QMetaType::fromType<QDBusMessage>() && p == method.parameterCount() - 1) {
                takesMessage = true;
                continue;
            }
            const QString arg = argument(QString::fromLatin1(QDBusMetaType::typeToSignature(type)),
                                         QString::fromLatin1(method.parameterNames().at(p)));
            (isSignal ? out : in).append(arg);
        }
        if (method.returnMetaType() != QMetaType::fromType<void>())
            out.append(QString::fromLatin1(QDBusMetaType::typeToSignature(method.returnMetaType())));
        if (isSlot && takesMessage && out.isEmpty()) {
            out.append(QStringLiteral("delayed"));
            if (delayed)
                delayed->insert(name);
        }
        lines.append(line(isSignal ? QStringLiteral("signal") : QStringLiteral("method"), name,
                          in, out));
    }
    return lines;
}

QStringList withDelayedReplies(const QStringList &lines, const QSet<QString> &delayed)
{
    QStringList result;
    for (const QString &entry : lines) {
        if (!delayed.contains(memberName(entry))) {
            result.append(entry);
            continue;
        }
        const int arrow = entry.lastIndexOf(QLatin1String(" -> "));
        result.append(entry.left(arrow) + QStringLiteral(" -> delayed)"));
    }
    return result;
}

namespace {
// The concatenated types of the arguments in one part of a member's line.
QString signatureOf(const QString &part)
{
    QString signature;
    const QStringList arguments = part.split(QLatin1String(", "), Qt::SkipEmptyParts);
    for (const QString &arg : arguments)
        signature += arg.section(QLatin1Char(' '), 0, 0);
    return signature;
}

const QString *findMember(const QStringList &lines, const QString &member)
{
    for (const QString &entry : lines) {
        if (memberName(entry) == member)
            return &entry;
    }
    return nullptr;
}
} // namespace

QString outSignature(const QStringList &lines, const QString &member)
{
    const QString *entry = findMember(lines, member);
    if (!entry)
        return QStringLiteral("<no such member>");
    const int arrow = entry->lastIndexOf(QLatin1String(" -> ")) + 4;
    return signatureOf(entry->mid(arrow, entry->size() - arrow - 1));
}

QString contractXml(const QString &interface)
{
    QFile file(TestPaths::sourceDir() + QStringLiteral("/dbus/") + interface
               + QStringLiteral(".xml"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
} // namespace InterfaceContract
