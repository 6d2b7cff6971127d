#include "TuvoCliOutput.h"

#include <TuvoClientValue.h>

#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {
QString quoted(const QString &text)
{
    // JSON string syntax is a familiar, unambiguous quoting for a shell user too.
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}
} // namespace

TuvoCliOutput::TuvoCliOutput(bool json, QObject *parent)
    : QObject(parent)
    , m_json(json)
    , m_errorIsTerminal(::isatty(STDERR_FILENO) == 1)
{
    m_out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    m_err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
}

void TuvoCliOutput::write(const QByteArray &bytes)
{
    if (m_closed)
        return;
    clearProgress();
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = m_out.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            m_closed = true;
            Q_EMIT outputClosed();
            return;
        }
        written += n;
    }
}

QString TuvoCliOutput::cell(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

void TuvoCliOutput::table(const QStringList &header, const QList<QStringList> &rows)
{
    if (rows.isEmpty())
        return;
    QList<QStringList> all{header};
    all += rows;
    QList<int> widths(header.size(), 0);
    for (const QStringList &row : qAsConst(all)) {
        for (int i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = qMax(widths[i], int(row.at(i).size()));
    }
    QString text;
    for (const QStringList &row : qAsConst(all)) {
        QString line;
        for (int i = 0; i < row.size(); ++i) {
            const bool last = i == row.size() - 1;
            line += last ? row.at(i) : row.at(i).leftJustified(widths.value(i)) + QStringLiteral("  ");
        }
        text += line + QLatin1Char('\n');
    }
    write(text.toUtf8());
}

void TuvoCliOutput::line(const QString &text)
{
    write(text.toUtf8() + '\n');
}

void TuvoCliOutput::json(const QJsonObject &object)
{
    write(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

void TuvoCliOutput::jsonLines(const QList<QJsonObject> &objects)
{
    QByteArray bytes;
    for (const QJsonObject &object : objects)
        bytes += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    write(bytes);
}

void TuvoCliOutput::message(const QString &text)
{
    // Once the reader of standard output has gone, the command ends without a word.
    if (m_closed)
        return;
    clearProgress();
    m_err.write((QStringLiteral("tuvo-client: ") + text + QLatin1Char('\n')).toUtf8());
}

void TuvoCliOutput::progress(const QString &text)
{
    if (!m_errorIsTerminal)
        return;
    m_err.write(("\r\033[K" + QStringLiteral("tuvo-client: ") + text).toUtf8());
    m_progressShown = true;
}

void TuvoCliOutput::clearProgress()
{
    if (!m_progressShown)
        return;
    m_err.write("\r\033[K");
    m_progressShown = false;
}

QString TuvoCliOutput::text(const QVariant &value, bool quoteStrings)
{
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
        return QString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QString:
        return quoteStrings ? quoted(value.toString()) : value.toString();
    case QMetaType::QChar:
        return quoteStrings ? QLatin1Char('\'') + QString(value.toChar()) + QLatin1Char('\'')
                            : QString(value.toChar());
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toHex());
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QStringList parts;
        const QVariantList list = value.toList();
        for (const QVariant &element : list)
            parts.append(text(element, true));
        return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    case QMetaType::QVariantMap: {
        QStringList parts;
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            parts.append(quoted(it.key()) + QStringLiteral(": ") + text(it.value(), true));
        return QLatin1Char('{') + parts.join(QStringLiteral(", ")) + QLatin1Char('}');
    }
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    if (value.metaType() == QMetaType::fromType<QDBusSignature>())
        return value.value<QDBusSignature>().signature();
    return value.toString();
}

QJsonValue TuvoCliOutput::jsonValue(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
        return QJsonValue();
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return QJsonValue(value.toLongLong());
    case QMetaType::ULongLong: {
        const qulonglong n = value.toULongLong();
        if (n <= qulonglong(std::numeric_limits<qint64>::max()))
            return QJsonValue(qint64(n));
        return QString::number(n);
    }
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return QString::number(d);
        return d;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QJsonArray array;
        const QVariantList list = value.toList();
        for (const QVariant &element : list)
            array.append(jsonValue(element));
        return array;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            object.insert(it.key(), jsonValue(it.value()));
        return object;
    }
    default:
        return text(value);
    }
}
