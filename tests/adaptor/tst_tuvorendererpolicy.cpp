// What the renderer adaptor decides, without a bus: each row is a sequence of playlist
// assignments, navigation and renderer errors, against the waiting queries each step
// ends ("cancel position status media_info") and the commands let through to the renderer.
// How each query kind is answered is seen end to end in the adaptor process suite.

#include <TuvoRendererPolicy.h>

#include <QTest>

class tst_TuvoRendererPolicy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sequences_data()
    {
        // "assign" (a known playlist), "assign missing", "next", "previous", "goto", "error N".
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        using L = QStringList;
        const QString all = "cancel position status media_info";
        QTest::newRow("navigation before any assignment ends the queries only")
            << L{"next", "previous", "goto"} << L{all, all};
        QTest::newRow("an assigned playlist lets navigation through")
            << L{"assign", "next", "previous", "goto"} << L{all, "next", all, "previous", "goto"};
        QTest::newRow("an unknown playlist closes the guard again")
            << L{"assign", "assign missing", "next", "goto"} << L{all};
        QTest::newRow("error 41") << L{"error 41"} << L{all};
        QTest::newRow("error 42") << L{"error 42"} << L{all};
        QTest::newRow("error 326") << L{"error 326"} << L{"cancel position"};
        QTest::newRow("error 327") << L{"error 327"} << L{"cancel status"};
        QTest::newRow("other errors end nothing") << L{"error 100", "error 0", "error 328"} << L();
    }
    void sequences()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        static const QStringList names{"position", "status", "media_info"};
        QStringList events;
        const auto cancel = [&](const QList<TuvoRendererPolicy::Query> &queries) {
            QStringList ended;
            for (TuvoRendererPolicy::Query query : queries)
                ended.append(names.at(query));
            if (!ended.isEmpty())
                events.append("cancel " + ended.join(u' '));
        };
        TuvoRendererPolicy policy;
        for (const QString &step : steps) {
            if (step.startsWith("assign")) {
                policy.assigned(step == "assign");
            } else if (step.startsWith("error")) {
                cancel(TuvoRendererPolicy::cancelledByError(step.section(u' ', 1).toInt()));
            } else {
                const auto navigation = step == "next"       ? TuvoRendererPolicy::Next
                                        : step == "previous" ? TuvoRendererPolicy::Previous
                                                             : TuvoRendererPolicy::GotoIndex;
                cancel(TuvoRendererPolicy::cancelledBy(navigation));
                if (policy.reachesRenderer(navigation))
                    events.append(step);
            }
        }
        QCOMPARE(events, expected);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoRendererPolicy)
#include "tst_tuvorendererpolicy.moc"
