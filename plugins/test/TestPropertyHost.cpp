#include "TestPropertyHost.h"

#include <TuvoMediaObject.h>

#include <QDBusConnection>
#include <QDebug>
#include <QUrl>

const char *const TestPropertyHost::ControlPathPrefix = "/com/oxbel/tuvo/test/properties/";

TestPropertyHost::TestPropertyHost(TuvoMediaObject *object)
    : QObject(object)
    , m_object(object)
    , m_path(QLatin1String(ControlPathPrefix) + object->uuid())
{
    m_published = QDBusConnection::sessionBus().registerObject(m_path, this,
                                                              QDBusConnection::ExportAllSlots);
    if (!m_published)
        qWarning() << "test plugin: cannot publish the property control object" << m_path;
}

TestPropertyHost::~TestPropertyHost()
{
    // Only our own registration: an object refused for a taken uuid must not withdraw
    // the control object of the one that holds it.
    if (m_published)
        QDBusConnection::sessionBus().unregisterObject(m_path);
}

bool TestPropertyHost::setExtensionProperty(const QString &name, const QVariant &value)
{
    m_writtenNames.append(name);
    m_writtenValues.append(value);
    return m_writeResult;
}

bool TestPropertyHost::requestExtensionProperty(const QString &name, QObject *receiver,
                                                const char *member)
{
    m_requests.append(name);
    const TuvoCallback answer = TuvoMediaObject::propertyCallback(receiver, member);
    if (!answer.isValid())
        return false;
    switch (m_readMode) {
    case Now:
        answer.invoke(name, m_values.value(name));
        return true;
    case Later:
        m_kept.insert(name, answer);
        return true;
    case Invalid:
        answer.invoke(name, QVariant());
        return true;
    case Unsendable:
        answer.invoke(name, QVariant::fromValue(QUrl(QStringLiteral("sample:///cover.png"))));
        return true;
    case Refuse:
        return false;
    case AnswerThenRefuse:
        answer.invoke(name, m_values.value(name));
        return false;
    }
    return false;
}

void TestPropertyHost::set_write_result(bool accept)
{
    m_writeResult = accept;
}

QStringList TestPropertyHost::writes(QVariantList &values) const
{
    values = m_writtenValues;
    return m_writtenNames;
}

bool TestPropertyHost::set_read_mode(const QString &mode)
{
    static const struct {
        const char *name;
        ReadMode mode;
    } modes[] = {
        {"now", Now},     {"later", Later}, {"invalid", Invalid}, {"unsendable", Unsendable},
        {"refuse", Refuse}, {"answer-then-refuse", AnswerThenRefuse},
    };
    for (const auto &entry : modes) {
        if (mode == QLatin1String(entry.name)) {
            m_readMode = entry.mode;
            return true;
        }
    }
    return false;
}

void TestPropertyHost::set_value(const QString &name, const QDBusVariant &value)
{
    m_values.insert(name, value.variant());
}

QStringList TestPropertyHost::requests() const
{
    return m_requests;
}

int TestPropertyHost::answer(const QString &name, const QDBusVariant &value)
{
    return answerKept(name, value.variant());
}

int TestPropertyHost::answer_invalid(const QString &name)
{
    return answerKept(name, QVariant());
}

int TestPropertyHost::answerKept(const QString &name, const QVariant &value)
{
    const QList<TuvoCallback> kept = m_kept.values(name);
    m_kept.remove(name);
    int answered = 0;
    for (const TuvoCallback &callback : kept) {
        if (callback.invoke(name, value))
            ++answered;
    }
    return answered;
}

void TestPropertyHost::emit_change(const QString &name, const QDBusVariant &value)
{
    Q_EMIT m_object->tuvoPropertyChanged(name, value.variant());
}

void TestPropertyHost::reset()
{
    m_writeResult = true;
    m_readMode = Now;
    m_writtenNames.clear();
    m_writtenValues.clear();
    m_requests.clear();
    m_values.clear();
    m_kept.clear();
}
