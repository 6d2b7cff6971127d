#include "TuvoCliPropertyCommand.h"

#include "TuvoCliOutput.h"
#include "TuvoCliSession.h"

#include <TuvoClientRenderer.h>
#include <TuvoClientSource.h>
#include <TuvoClientValue.h>

TuvoCliPropertyCommand::TuvoCliPropertyCommand(const TuvoCliCommandLine &commandLine,
                                               TuvoCliSession *session, TuvoCliOutput *output,
                                               QObject *parent)
    : TuvoCliCommand(commandLine, session, output, parent)
{
}

TuvoClientObject *TuvoCliPropertyCommand::createProxy(const TuvoClientObjectInfo &object,
                                                      const TuvoCliSession *session, QObject *parent)
{
    TuvoClientObject *proxy = nullptr;
    if (object.kind == TuvoClientObjectInfo::Source)
        proxy = new TuvoClientSource(object, session->connection(), parent);
    else
        proxy = new TuvoClientRenderer(object, session->connection(), parent);
    proxy->setTimeout(session->timeout());
    return proxy;
}

void TuvoCliPropertyCommand::start()
{
    m_session->resolve({TuvoClientObjectInfo::Source, TuvoClientObjectInfo::Renderer},
                       m_commandLine.argument(0),
                       [this](const TuvoClientObjectInfo &target) { run(target); });
}

void TuvoCliPropertyCommand::run(const TuvoClientObjectInfo &target)
{
    m_object = createProxy(target, m_session, this);
    const QString property = m_commandLine.argument(1);
    if (m_commandLine.action() == TuvoCliCommandTable::Action::Get) {
        m_object->getProperty(property, [this, property](const TuvoClientError &error, const QVariant &value) {
            if (error.isError()) {
                fail(error);
                return;
            }
            if (m_output->isJson())
                m_output->json({{QStringLiteral("property"), property},
                                {QStringLiteral("type"), TuvoClientValue::typeName(value)},
                                {QStringLiteral("value"), TuvoCliOutput::jsonValue(value)}});
            else
                m_output->line(TuvoCliOutput::text(value));
            finish(TuvoCliCommandTable::Success);
        });
        return;
    }

    const QString text = m_commandLine.argument(2);
    if (m_commandLine.isSet(QStringLiteral("type"))) {
        QString why;
        const QVariant value = TuvoClientValue::parse(text, m_commandLine.value(QStringLiteral("type")), &why);
        if (!value.isValid()) {
            m_output->message(why);
            finish(TuvoCliCommandTable::Usage);
            return;
        }
        set(value);
        return;
    }
    // Without --type the value takes the type the property holds now.
    m_object->getProperty(property, [this, property, text](const TuvoClientError &error, const QVariant &current) {
        if (error.isError()) {
            fail(TuvoClientError(error.type(),
                                 error.message()
                                     + QStringLiteral("; cannot tell the type of \"%1\", give it with --type").arg(property),
                                 error.service(), error.code(), error.dbusName()));
            return;
        }
        QString why;
        const QVariant value = TuvoClientValue::parseAs(text, current, &why);
        if (!value.isValid()) {
            m_output->message(QStringLiteral("\"%1\" holds a value of type %2: %3")
                                  .arg(property, TuvoClientValue::typeName(current), why));
            finish(TuvoCliCommandTable::Usage);
            return;
        }
        set(value);
    });
}

void TuvoCliPropertyCommand::set(const QVariant &value)
{
    m_object->setProperty(m_commandLine.argument(1), value, [this](const TuvoClientError &error) {
        if (error.isError())
            fail(error);
        else
            finish(TuvoCliCommandTable::Success);
    });
}
