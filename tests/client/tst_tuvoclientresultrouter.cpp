// The router of a proxy-source object, driven by scripts of calls and incoming result
// messages, without a bus: which operation gets which message, in which order.
#include "TuvoClientResultRouter.h"

#include <QMap>
#include <QTest>

#include <memory>

class tst_TuvoClientResultRouter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void routes_data()
    {
        // Steps: "expect A" (A's starting call is out), "route A s1 B 7" (answered: A takes
        // browse 7 of s1; "once" after it: A stops after one message), "release A",
        // "delete A", "recv s1 B 7 x" (message x: browse 7 from s1; Q for a query).
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("delivered");
        QTest::addColumn<int>("held");

        QTest::newRow("results go to their operation")
            << QStringList{"expect A", "route A s1 B 7", "recv s1 B 7 a", "recv s1 B 7 b"}
            << QStringList{"A:a", "A:b"} << 0;
        QTest::newRow("results before the id come first, in order")
            << QStringList{"expect A", "recv s1 B 7 a", "recv s1 B 7 b", "route A s1 B 7", "recv s1 B 7 c"}
            << QStringList{"A:a", "A:b", "A:c"} << 0;
        QTest::newRow("other senders, ids and kinds are not the operation's")
            << QStringList{"expect A", "route A s1 B 7", "recv s2 B 7 x", "recv s1 B 8 y", "recv s1 Q 7 z",
                           "recv s1 B 7 a"}
            << QStringList{"A:a"} << 0;
        QTest::newRow("a browse and a query with the same id stay apart")
            << QStringList{"expect A", "expect B", "recv s1 Q 7 q", "route A s1 B 7", "route B s1 Q 7",
                           "recv s1 B 7 a"}
            << QStringList{"B:q", "A:a"} << 0;
        QTest::newRow("nothing is held while no call is out")
            << QStringList{"recv s1 B 7 a", "expect A", "route A s1 B 7"} << QStringList{} << 0;
        QTest::newRow("held results of nobody go once every call is answered")
            << QStringList{"expect A", "expect B", "recv s1 B 9 x", "route A s1 B 7", "route B s1 B 8",
                           "expect C", "route C s1 B 9"}
            << QStringList{} << 0;
        QTest::newRow("held while another call is still out")
            << QStringList{"expect A", "expect B", "route A s1 B 7", "recv s1 B 8 b", "route B s1 B 8"}
            << QStringList{"B:b"} << 0;
        QTest::newRow("a failed start lets the held results go")
            << QStringList{"expect A", "recv s1 B 7 a", "release A", "expect B", "route B s1 B 7"}
            << QStringList{} << 0;
        QTest::newRow("an operation that ends while claiming gets no more")
            << QStringList{"expect A", "expect B", "recv s1 B 7 a", "recv s1 B 7 b", "route A s1 B 7 once"}
            << QStringList{"A:a"} << 1;
        QTest::newRow("an ended operation gets nothing")
            << QStringList{"expect A", "route A s1 B 7", "release A", "recv s1 B 7 a"} << QStringList{} << 0;
        QTest::newRow("a deleted operation gets nothing")
            << QStringList{"expect A", "route A s1 B 7", "delete A", "recv s1 B 7 a"} << QStringList{} << 0;
        QTest::newRow("a deleted waiter lets the held results go")
            << QStringList{"expect A", "recv s1 B 7 a", "delete A", "recv s1 B 7 b", "expect B",
                           "route B s1 B 7"}
            << QStringList{} << 0;
    }

    void routes()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, delivered);
        QFETCH(int, held);

        TuvoClientResultRouter router;
        std::map<QString, std::unique_ptr<QObject>> owners;
        QStringList got;
        const auto owner = [&owners](const QString &name) {
            std::unique_ptr<QObject> &object = owners[name];
            if (!object)
                object = std::make_unique<QObject>();
            return object.get();
        };
        for (const QString &step : std::as_const(steps)) {
            const QStringList w = step.split(QLatin1Char(' '));
            if (w[0] == QLatin1String("expect")) {
                router.expect(owner(w[1]));
            } else if (w[0] == QLatin1String("route")) {
                QObject *o = owner(w[1]);
                const bool once = w.size() > 5;
                const QString name = w[1];
                router.route(o, {w[2], w[3] == QLatin1String("Q"), w[4].toUInt()},
                             [&router, &got, o, once, name](const QDBusMessage &message) {
                                 got.append(name + QLatin1Char(':') + message.arguments().at(0).toString());
                                 if (once)
                                     router.release(o);
                             });
            } else if (w[0] == QLatin1String("release")) {
                router.release(owner(w[1]));
            } else if (w[0] == QLatin1String("delete")) {
                owners.erase(w[1]);
            } else {
                QDBusMessage message = QDBusMessage::createMethodCall(w[1], QStringLiteral("/"), QString(),
                                                                      QStringLiteral("result"));
                message << w[4];
                router.receive({w[1], w[2] == QLatin1String("Q"), w[3].toUInt()}, message);
            }
        }
        QCOMPARE(got, delivered);
        QCOMPARE(router.heldCount(), held);
    }

    void heldResultsAreBounded()
    {
        TuvoClientResultRouter router;
        QObject waiting;
        router.expect(&waiting);
        const QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral(":1.1"), QStringLiteral("/"),
                                                                   QString(), QStringLiteral("m"));
        for (int i = 0; i < TuvoClientResultRouter::MaxEarlyMessages + 5; ++i)
            router.receive({QStringLiteral(":1.1"), 0, 7}, message);
        QCOMPARE(router.heldCount(), TuvoClientResultRouter::MaxEarlyMessages);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoClientResultRouter)
#include "tst_tuvoclientresultrouter.moc"
