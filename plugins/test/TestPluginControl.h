#ifndef TESTPLUGINCONTROL_H
#define TESTPLUGINCONTROL_H

#include <QObject>
#include <QStringList>

class TuvoInternalRegistry;

/*!
 * Lets a test add and withdraw the test plugin's objects from outside the wrapper
 * process: registered at "/com/oxbel/tuvo/test" under the bus name
 * "com.oxbel.tuvo.testplugin" on the wrapper's own connection while the plugin is loaded.
 *
 * Kinds: "source", "renderer", "proxysource", "proxyrenderer".
 */
class TestPluginControl : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.test.Plugin")
public:
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

private:
    TuvoInternalRegistry *m_registry;
    QStringList m_uuids;
    bool m_published = false;
};

#endif
