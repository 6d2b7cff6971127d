#ifndef TESTPLUGINCONTROL_H
#define TESTPLUGINCONTROL_H

#include <QObject>
#include <QStringList>

class TuvoInternalRegistry;

/*!
 * Lets a test add and withdraw the test plugin's objects from outside the wrapper
 * process: registered at ControlPath under the bus name ControlService on the
 * wrapper's own connection while the plugin is loaded.
 *
 * Kinds: "source", "renderer", "proxysource", "proxyrenderer".
 */
class TestPluginControl : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.test.Plugin")
public:
    static const char *const ControlService;
    static const char *const ControlPath;

    explicit TestPluginControl(TuvoInternalRegistry *registry, QObject *parent = nullptr);
    ~TestPluginControl() override;

    bool publish();
    /*! Adds the objects of a description "kind:uuid:plugin name:name;..." */
    bool addObjects(const QString &description);
    void withdrawAll();

public Q_SLOTS:
    bool add_object(const QString &kind, const QString &uuid, const QString &pluginName,
                    const QString &name);
    bool remove_object(const QString &uuid);
    QStringList objects() const;

private:
    TuvoInternalRegistry *m_registry;
    QStringList m_uuids;
    bool m_published = false;
};

#endif
